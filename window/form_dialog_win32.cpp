#include "window/win32_api.h"

#include <string>
#include <vector>

#include "render/canvas_gdi.h"
#include "support/wide_text.h"
#include "window/form_dialog.h"

// The form as a dialog built in memory from a template, so the dialog
// manager gives it Tab, Return and Escape and screen readers its labels.
// Its face is the screen's, which has the Japanese texts' glyphs wherever
// the program runs.

namespace {

// Dialog units of the layout.
constexpr short kMargin = 7;
constexpr short kLabelWidth = 90;
constexpr short kInputWidth = 120;
constexpr short kRowHeight = 14;
constexpr short kRowGap = 4;
constexpr short kButtonWidth = 50;
constexpr short kNoteHeight = 20;
constexpr short kFontPoints = 9;

// Predefined window classes of a template's items.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kComboClass = 0x0085;

constexpr WORD kNoteId = 100;
constexpr WORD kFirstInputId = 200;
constexpr int kChoiceRows = 8;  // of an opened choice list

// A dialog template: DWORD-aligned items of WORDs.
class Template {
 public:
  void Align() {
    if (words.size() % 2)
      words.push_back(0);
  }
  void Word(WORD value) { words.push_back(value); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Text(const std::wstring& text) {
    for (wchar_t c : text)
      Word(static_cast<WORD>(c));
    Word(0);
  }
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD windowClass,
            const std::wstring& text) {
    Align();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    for (short value : {x, y, cx, cy})
      Word(static_cast<WORD>(value));
    Word(id);
    Word(0xFFFF);
    Word(windowClass);
    Text(text);
    Word(0);  // no creation data
  }
  const DLGTEMPLATE* Data() const { return reinterpret_cast<const DLGTEMPLATE*>(words.data()); }
  std::vector<WORD> words;
};

short InputsTop(const FormQuestion& form) {
  return static_cast<short>(kMargin + (form.note.empty() ? 0 : kNoteHeight + kRowGap));
}

Template BuildTemplate(const FormQuestion& form) {
  const short width = kMargin * 3 + kLabelWidth + kInputWidth;
  const short fieldsBottom =
      static_cast<short>(InputsTop(form) + form.fields.size() * (kRowHeight + kRowGap));
  const short height = static_cast<short>(fieldsBottom + kRowHeight + kMargin * 2);
  Template t;
  t.Dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  t.Dword(0);
  t.Word(static_cast<WORD>(form.fields.size() * 2 + 2 + (form.note.empty() ? 0 : 1)));
  for (short value : {short{0}, short{0}, width, height})
    t.Word(static_cast<WORD>(value));
  t.Word(0);  // no menu
  t.Word(0);  // the standard dialog class
  t.Text(WideText(form.title));
  t.Word(kFontPoints);
  t.Text(ScreenFontFamily());
  if (!form.note.empty())
    t.Item(SS_LEFT, kMargin, kMargin, width - 2 * kMargin, kNoteHeight, kNoteId, kStaticClass,
           WideText(form.note));
  short y = InputsTop(form);
  for (size_t i = 0; i < form.fields.size(); ++i) {
    const FormField& field = form.fields[i];
    const WORD id = static_cast<WORD>(kFirstInputId + i);
    t.Item(SS_LEFT, kMargin, y + 2, kLabelWidth, kRowHeight, 0xFFFF, kStaticClass,
           WideText(field.label));
    const short x = kMargin * 2 + kLabelWidth;
    if (field.choices.empty()) {
      t.Item(WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, x, y, kInputWidth, kRowHeight, id, kEditClass,
             L"");
    } else {
      t.Item(WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, x, y, kInputWidth,
             kRowHeight * kChoiceRows, id, kComboClass, L"");
    }
    y = static_cast<short>(y + kRowHeight + kRowGap);
  }
  const short buttonsTop = static_cast<short>(fieldsBottom + kMargin);
  t.Item(WS_TABSTOP | BS_DEFPUSHBUTTON, width - 2 * (kButtonWidth + kMargin), buttonsTop,
         kButtonWidth, kRowHeight, IDOK, kButtonClass, WideText(form.acceptButton));
  t.Item(WS_TABSTOP | BS_PUSHBUTTON, width - kButtonWidth - kMargin, buttonsTop, kButtonWidth,
         kRowHeight, IDCANCEL, kButtonClass, WideText(form.cancelButton));
  return t;
}

void FillInputs(HWND dialog, const FormQuestion& form) {
  for (size_t i = 0; i < form.fields.size(); ++i) {
    const FormField& field = form.fields[i];
    const int id = static_cast<int>(kFirstInputId + i);
    if (field.choices.empty()) {
      SetDlgItemTextW(dialog, id, WideText(field.text).c_str());
      continue;
    }
    for (const std::string& choice : field.choices)
      SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0,
                          reinterpret_cast<LPARAM>(WideText(choice).c_str()));
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(field.choice), 0);
  }
}

void ReadInputs(HWND dialog, FormQuestion* form) {
  for (size_t i = 0; i < form->fields.size(); ++i) {
    FormField& field = form->fields[i];
    const int id = static_cast<int>(kFirstInputId + i);
    if (!field.choices.empty()) {
      field.choice = static_cast<int32_t>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
      continue;
    }
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(GetDlgItem(dialog, id))) + 1, L'\0');
    GetDlgItemTextW(dialog, id, text.data(), static_cast<int>(text.size()));
    text.resize(text.find(L'\0'));
    field.text = Utf8Text(text);
  }
}

INT_PTR CALLBACK FormProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    FillInputs(dialog, *reinterpret_cast<FormQuestion*>(lParam));
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    if (LOWORD(wParam) == IDOK)
      ReadInputs(dialog, reinterpret_cast<FormQuestion*>(GetWindowLongPtrW(dialog, DWLP_USER)));
    EndDialog(dialog, LOWORD(wParam) == IDOK);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int AskForm(WindowHandle owner, FormQuestion* form) {
  HWND window = static_cast<HWND>(owner);
  const Template dialog = BuildTemplate(*form);
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Data(),
                                 window && IsWindow(window) ? window : nullptr, FormProc,
                                 reinterpret_cast<LPARAM>(form)) == 1;
}
