#pragma once

// The program's texts in the user's language. Every text the user reads is
// written in the source as it shows without a catalogue (Japanese, or the
// few English ones such as "Exit") and passed through Tr, which returns the
// translation for the locale's language, or the text itself when there is
// none: the C locale and a language without a catalogue show the source.

#if defined(__GNUC__)
#define GRAVIMO_FORMAT_ARG(n) __attribute__((format_arg(n)))
#else
#define GRAVIMO_FORMAT_ARG(n)
#endif

// The translation of `msgid`; a format keeps the conversions of its source,
// so the compiler checks the arguments against the source text.
const char* Tr(const char* msgid) GRAVIMO_FORMAT_ARG(1);

// Marks a text for translation where a table defines it; the code that
// shows it passes it through Tr.
constexpr const char* TrMark(const char* msgid) {
  return msgid;
}

// Takes the language from the locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG)
// and finds the catalogues: in $GRAVIMO_LOCALE_DIR when set, else the
// installed ones, else the build folder's. Numbers keep the C locale's
// format, so that the log and the screen never show a decimal comma. Called
// once at program start, before the window system starts.
void InitTranslations();

// 1 when the texts show as written in the source (no catalogue applies).
int ShowsSourceTexts();
