// Reads arbitrary bytes as a settings file with the Windows program's reader
// and with GLib's key file, which the Linux program uses, and checks that
// they agree: both accept or both refuse, every key that GLib reads reads
// the same, and the text written back is the same byte for byte, as loaded
// and after the program's own keys are set. The one difference the reader
// admits, a key's locale with a letter of another script, is let through.
#include <glib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/key_file.h"

namespace {

// The flags with which the Linux program loads the file it saves again.
constexpr GKeyFileFlags kSavingFlags =
    static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);

void Fail(const char* what, const std::string& ours, const std::string& glib) {
  std::fprintf(stderr, "%s differs:\n  KeyFile: %s\n  GLib:    %s\n", what, ours.c_str(),
               glib.c_str());
  std::abort();
}

// The reader refuses a key such as "Name[dé]" that GLib takes.
bool IsRefusedLocale(const std::string& why) {
  const size_t open = why.find('[');
  if (why.rfind("invalid key name ", 0) != 0 || open == std::string::npos)
    return false;
  for (size_t i = open; i < why.size(); ++i) {
    if (static_cast<unsigned char>(why[i]) >= 0xC0)
      return true;
  }
  return false;
}

std::string GLibText(GKeyFile* file) {
  gsize length = 0;
  gchar* data = g_key_file_to_data(file, &length, nullptr);
  std::string text(data, length);
  g_free(data);
  return text;
}

void CompareKeys(GKeyFile* glib, const KeyFile& ours) {
  gchar** groups = g_key_file_get_groups(glib, nullptr);
  for (gchar** group = groups; *group != nullptr; ++group) {
    gchar** keys = g_key_file_get_keys(glib, *group, nullptr, nullptr);
    for (gchar** key = keys; *key != nullptr; ++key) {
      gchar* theirs = g_key_file_get_string(glib, *group, *key, nullptr);
      std::string value;
      if (ours.Get(*group, *key, &value) != (theirs != nullptr) ||
          (theirs != nullptr && value != theirs))
        Fail(*key, value, theirs != nullptr ? theirs : "(unreadable)");
      g_free(theirs);
    }
    g_strfreev(keys);
  }
  g_strfreev(groups);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  KeyFile ours;
  std::string why;
  const int accepted = ours.Parse(text, &why);
  GKeyFile* glib = g_key_file_new();
  GError* error = nullptr;
  const int glibAccepted = g_key_file_load_from_data(glib, text.data(), size, kSavingFlags, &error);
  if (accepted != glibAccepted && !(glibAccepted && IsRefusedLocale(why)))
    Fail("accepting", accepted ? "accepted" : why, error != nullptr ? error->message : "accepted");
  if (error != nullptr)
    g_error_free(error);
  if (accepted && glibAccepted) {
    CompareKeys(glib, ours);
    if (ours.Text() != GLibText(glib))
      Fail("text", ours.Text(), GLibText(glib));
    ours.Set("Display", "Unit", "kg");
    ours.Set("Accessibility", "Speech", "false");
    g_key_file_set_string(glib, "Display", "Unit", "kg");
    g_key_file_set_string(glib, "Accessibility", "Speech", "false");
    if (ours.Text() != GLibText(glib))
      Fail("text after setting keys", ours.Text(), GLibText(glib));
  }
  g_key_file_free(glib);
  return 0;
}
