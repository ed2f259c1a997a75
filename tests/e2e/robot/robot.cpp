// vornrobot: starts a program under Wine, drives its wizard window and answers
// its message boxes and dialogs from a script, and writes a transcript.
//
//   vornrobot.exe --answers FILE --transcript FILE [--timeout SECONDS]
//                 [--shots DIR] [--window-class NAME] -- PROGRAM ARGS...
//
// Script (the answers file): UTF-8, one command per line; blank lines and lines
// starting with '#' are ignored, keywords are case-insensitive. The commands run
// in order; each waits for what it needs (a box, a dialog, the window, an edit
// control) before the next one starts.
//   OK | YES | NO | CANCEL   press that button in the next message box
//   DIALOG ID...             in the next dialog, click the controls with these
//                            ids in order (BM_CLICK); the last one (normally
//                            OK) is posted, the others are sent and awaited
//   CLICK X Y | RCLICK X Y   left or right click at client coordinates of the
//                            wizard (WM_xBUTTONDOWN and WM_xBUTTONUP posted)
//   TYPE X Y TEXT            set the text of the visible edit control at client
//                            point X,Y (WM_SETTEXT): the rest of the line, inner
//                            blanks kept; nothing after Y clears the field
//   WINDOW                   wait until the wizard window is visible
//   BOX                      wait until a message box or dialog is open (it is
//                            left open for the commands after it)
//   WAIT MS                  pause
//   POISON DLL FUNCTION      make the code page of that function in the program (a DLL
//                            the program has loaded) inaccessible, so that its next call
//                            faults inside that DLL (a fault the program did not cause)
//   GONE CLASS               wait until no top-level window of that class is left
//                            (any program's; up to 120 s)
//   IDLE                     wait until the program waits for input
//   SHOT NAME                settle as IDLE does, then have the harness take a
//                            screenshot NAME.png into the --shots folder
// The wizard is the program's visible top-level window of class "installWClass"
// (--window-class). A dialog is a window of class "#32770" with a button whose
// id is above 11; other "#32770" windows are message boxes.
//
// A box or dialog that appears during BOX, SHOT, WAIT or IDLE stays open for the
// commands after them (a screenshot can show it). One that appears while any
// other command is in hand, or after the script's end, gets OK if it has an OK
// button, otherwise its first (leftmost) button; a dialog its default button.
// While commands remain, such a box or dialog gets an "error" in the
// transcript, as does an answer naming a button the box lacks (the default is
// pressed), so that the test comparing the transcript fails. A command that
// cannot find its window or edit control within 20 s records an "error" and is
// skipped.
//
// Transcript: UTF-8, one JSON object per line, in the order things happened:
//   {"caption": "...", "text": "...", "button": "OK"}              a message box
//   {"caption": "...", "clicked": "111 102 105", "checked": "102 111"}
//                    a dialog: the ids clicked, and the checked radio buttons and
//                    check boxes just before the last click
//   {"seen": CLASS, "title": ..., "by": "program"|"other"}   a visible top-level window
//                    that came up (any process's; those there at the start are not listed)
//   {"action": "click", "at": "90,257"}  and "rclick", "type" (with "text" and
//                    "read": what the control held afterwards), "window", "box",
//                    "wait", "idle", "shot" (with "name"; "skipped" without --shots)
// Each line is written as soon as it happens, so a transcript survives a hung or
// killed program.
//
// Screenshots: SHOT writes NAME.request into the --shots folder, prints
// "vornrobot: screenshot NAME" and waits (up to 30 s) for NAME.png to appear
// there; the harness watches the folder, takes the screenshot and deletes the
// request.
//
// Exit code: the program's exit code; 124 when --timeout expired (the program
// is killed); 125 when the robot itself could not do its job (bad arguments,
// unreadable script, program not started).

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <map>
#include <string>
#include <set>
#include <vector>

namespace {

constexpr int kExitTimeout = 124;
constexpr int kExitRobotError = 125;
constexpr DWORD kPollMs = 50;
// A click can be lost if it arrives while the box is still being set up;
// a box still there after this long gets the same button again.
constexpr ULONGLONG kReclickMs = 1500;
// How long a step waits for the program to be idle before it goes on anyway.
constexpr ULONGLONG kPatienceMs = 20000;
// How long a command looks for its window or edit control: in an emulated machine a setup that
// backs up the learnt data first can take a minute to show its window.
constexpr ULONGLONG kFindPatienceMs = 120000;
// GONE waits for another program to end, which may take longer than a window takes to appear.
constexpr ULONGLONG kGonePatienceMs = 120000;
// How long SHOT waits for the harness.
constexpr ULONGLONG kShotWaitMs = 30000;
// The least time IDLE and SHOT give the program after the previous command.
constexpr ULONGLONG kSettleMs = 300;
constexpr UINT kSendTimeoutMs = 5000;

// ---------------------------------------------------------------- script

struct ButtonName {
    int id;
    const wchar_t* name;
};

constexpr ButtonName kButtons[] = {
    {IDOK, L"OK"},         {IDCANCEL, L"CANCEL"},     {IDABORT, L"ABORT"},
    {IDRETRY, L"RETRY"},   {IDIGNORE, L"IGNORE"},     {IDYES, L"YES"},
    {IDNO, L"NO"},         {IDTRYAGAIN, L"TRYAGAIN"}, {IDCONTINUE, L"CONTINUE"},
};

std::wstring buttonName(int id) {
    for (const ButtonName& b : kButtons)
        if (b.id == id) return b.name;
    return L"ID" + std::to_wstring(id);
}

// One line of the script.
struct Command {
    enum class Kind { Answer, Dialog, Click, RightClick, Type, Window, Box, Wait, Idle, Shot, Gone, Poison };
    Kind kind = Kind::Answer;
    int button = 0;         // Answer: the button's control id
    std::vector<int> ids;   // Dialog: the controls to click
    int x = 0, y = 0;       // Click, RightClick, Type: client coordinates
    std::wstring text;      // Type: the text; Shot: the name; Gone: the window class; Poison: the DLL
    std::wstring function;  // Poison: the function
    DWORD milliseconds = 0; // Wait
    int line = 0;           // where it came from, for messages
    std::wstring keyword;   // as written, upper-cased, for messages
};

std::wstring upper(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; }

struct Word {
    std::wstring text;
    size_t end;  // index just past the word in its line
};

std::vector<Word> splitWords(const std::wstring& line) {
    std::vector<Word> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i])) ++i;
        size_t start = i;
        while (i < line.size() && !isBlank(line[i])) ++i;
        if (i > start) words.push_back({line.substr(start, i - start), i});
    }
    return words;
}

// A whole decimal number in [low, high].
bool parseNumber(const std::wstring& word, long low, long high, long& out) {
    if (word.empty()) return false;
    wchar_t* end = nullptr;
    const long value = std::wcstol(word.c_str(), &end, 10);
    if (!end || *end != L'\0' || value < low || value > high) return false;
    out = value;
    return true;
}

bool parseCoordinates(const std::vector<Word>& words, Command& out, std::wstring& error) {
    long x = 0, y = 0;
    if (words.size() < 3 || !parseNumber(words[1].text, 0, 32767, x) ||
        !parseNumber(words[2].text, 0, 32767, y)) {
        error = out.keyword + L" takes client coordinates X Y (0 to 32767)";
        return false;
    }
    out.x = static_cast<int>(x);
    out.y = static_cast<int>(y);
    return true;
}

bool parseCommand(const std::wstring& line, const std::vector<Word>& words, int lineNo,
                  Command& out, std::wstring& error) {
    const std::wstring keyword = upper(words[0].text);
    out.keyword = keyword;
    out.line = lineNo;
    auto noArguments = [&](Command::Kind kind) {
        if (words.size() != 1) {
            error = keyword + L" takes no arguments";
            return false;
        }
        out.kind = kind;
        return true;
    };
    for (const wchar_t* answer : {L"OK", L"YES", L"NO", L"CANCEL"}) {
        if (keyword != answer) continue;
        for (const ButtonName& b : kButtons)
            if (keyword == b.name) out.button = b.id;
        return noArguments(Command::Kind::Answer);
    }
    if (keyword == L"DIALOG") {
        out.kind = Command::Kind::Dialog;
        for (size_t i = 1; i < words.size(); ++i) {
            long id = 0;
            if (!parseNumber(words[i].text, 1, 65535, id)) {
                error = L"DIALOG takes control ids (1 to 65535), not \"" + words[i].text + L"\"";
                return false;
            }
            out.ids.push_back(static_cast<int>(id));
        }
        if (out.ids.empty()) {
            error = L"DIALOG needs at least one control id";
            return false;
        }
        return true;
    }
    if (keyword == L"CLICK" || keyword == L"RCLICK") {
        out.kind = keyword == L"CLICK" ? Command::Kind::Click : Command::Kind::RightClick;
        if (!parseCoordinates(words, out, error)) return false;
        if (words.size() != 3) {
            error = keyword + L" takes exactly X Y";
            return false;
        }
        return true;
    }
    if (keyword == L"TYPE") {
        out.kind = Command::Kind::Type;
        if (!parseCoordinates(words, out, error)) return false;
        // The text is the rest of the line after Y, without its leading and trailing blanks.
        size_t start = words[2].end;
        while (start < line.size() && isBlank(line[start])) ++start;
        size_t end = line.size();
        while (end > start && isBlank(line[end - 1])) --end;
        out.text = line.substr(start, end - start);
        return true;
    }
    if (keyword == L"WAIT") {
        long ms = 0;
        if (words.size() != 2 || !parseNumber(words[1].text, 0, 600000, ms)) {
            error = L"WAIT takes milliseconds (0 to 600000)";
            return false;
        }
        out.kind = Command::Kind::Wait;
        out.milliseconds = static_cast<DWORD>(ms);
        return true;
    }
    if (keyword == L"SHOT") {
        if (words.size() != 2 ||
            words[1].text.find_first_not_of(L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                            L"0123456789-_") != std::wstring::npos) {
            error = L"SHOT takes one name of letters, digits, '-' and '_'";
            return false;
        }
        out.kind = Command::Kind::Shot;
        out.text = words[1].text;
        return true;
    }
    if (keyword == L"POISON") {
        if (words.size() != 3) {
            error = L"POISON takes a DLL and a function";
            return false;
        }
        out.kind = Command::Kind::Poison;
        out.text = words[1].text;
        out.function = words[2].text;
        return true;
    }
    if (keyword == L"GONE") {
        // The class is the rest of the line: class names may hold blanks and any characters.
        size_t start = words[0].end;
        while (start < line.size() && isBlank(line[start])) ++start;
        size_t end = line.size();
        while (end > start && isBlank(line[end - 1])) --end;
        if (end == start) {
            error = L"GONE takes a window class";
            return false;
        }
        out.kind = Command::Kind::Gone;
        out.text = line.substr(start, end - start);
        return true;
    }
    if (keyword == L"WINDOW") return noArguments(Command::Kind::Window);
    if (keyword == L"BOX") return noArguments(Command::Kind::Box);
    if (keyword == L"IDLE") return noArguments(Command::Kind::Idle);
    error = L"unknown command \"" + words[0].text + L"\"";
    return false;
}

bool readFileBytes(const std::wstring& path, std::string& out) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
        if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        out.append(buffer, got);
    }
    CloseHandle(h);
    return ok;
}

std::wstring fromUtf8(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::string toUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

bool loadScript(const std::wstring& path, std::vector<Command>& script, std::wstring& error) {
    std::string bytes;
    if (!readFileBytes(path, bytes)) {
        error = L"cannot read " + path;
        return false;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    const std::wstring text = fromUtf8(bytes);
    size_t start = 0;
    int lineNo = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        ++lineNo;
        const std::wstring line = text.substr(start, end - start);
        const std::vector<Word> words = splitWords(line);
        start = end + 1;
        if (words.empty() || words[0].text[0] == L'#') continue;
        Command command;
        if (!parseCommand(line, words, lineNo, command, error)) {
            error = path + L":" + std::to_wstring(lineNo) + L": " + error;
            return false;
        }
        script.push_back(command);
    }
    return true;
}

// ---------------------------------------------------------------- transcript

std::string jsonString(const std::wstring& value) {
    std::string out = "\"";
    for (char c : toUtf8(value)) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (u < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", u);
                    out += esc;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

using Fields = std::vector<std::pair<const char*, std::wstring>>;

class Transcript {
public:
    bool open(const std::wstring& path) {
        file_ = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        return file_ != INVALID_HANDLE_VALUE;
    }
    ~Transcript() {
        if (file_ != INVALID_HANDLE_VALUE) {
            FlushFileBuffers(file_);
            CloseHandle(file_);
        }
    }
    // fields: key/value pairs, written in this order.
    void write(const Fields& fields) {
        std::string line = "{";
        for (const auto& [key, value] : fields) {
            if (line.size() > 1) line += ", ";
            line += std::string("\"") + key + "\": " + jsonString(value);
        }
        line += "}\n";
        DWORD written = 0;
        WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        FlushFileBuffers(file_);
    }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

// ---------------------------------------------------------------- windows

std::wstring className(HWND hwnd) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    return cls;
}

std::wstring windowText(HWND hwnd) {
    if (!hwnd) return {};
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

struct TopSearch {
    DWORD pid;
    const std::wstring* cls;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTop(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TopSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid) return TRUE;
    // Only visible windows: a dialog is shown after WM_INITDIALOG has set its texts.
    if (IsWindowVisible(hwnd) && _wcsicmp(className(hwnd).c_str(), search->cls->c_str()) == 0)
        search->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK collectVisible(HWND hwnd, LPARAM param) {
    if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

// Every visible top-level window on the desktop, whoever's.
std::vector<HWND> visibleWindows() {
    std::vector<HWND> found;
    EnumWindows(collectVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The process's visible top-level windows of a class, in Z order.
std::vector<HWND> windowsOf(DWORD pid, const std::wstring& cls) {
    TopSearch search{pid, &cls, {}};
    EnumWindows(collectTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
    return TRUE;
}

// All descendants, in Z order.
std::vector<HWND> childrenOf(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

bool isButton(HWND hwnd) { return _wcsicmp(className(hwnd).c_str(), L"Button") == 0; }

// A message box's buttons are the standard answers (ids 1 to 11); a dialog of the
// program has buttons of its own.
bool isDialog(HWND window) {
    for (HWND child : childrenOf(window))
        if (isButton(child) && GetDlgCtrlID(child) > 11) return true;
    return false;
}

// The message text lives in the static control 0xFFFF.
std::wstring boxText(HWND box) { return windowText(GetDlgItem(box, 0xFFFF)); }

// A message box keeps the buttons it does not use, hidden.
bool hasButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    return button && IsWindowVisible(button);
}

int defaultBoxButton(HWND box) {
    if (hasButton(box, IDOK)) return IDOK;
    HWND leftmost = nullptr;
    LONG left = 0;
    for (HWND child : childrenOf(box)) {
        if (!isButton(child) || !IsWindowVisible(child)) continue;
        RECT r;
        GetWindowRect(child, &r);
        if (!leftmost || r.left < left) {
            leftmost = child;
            left = r.left;
        }
    }
    return leftmost ? GetDlgCtrlID(leftmost) : IDOK;
}

bool sendTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               result ? result : &ignored) != 0;
}

int defaultDialogButton(HWND dialog) {
    DWORD_PTR answer = 0;
    if (sendTimeout(dialog, DM_GETDEFID, 0, 0, &answer) && HIWORD(answer) == DC_HASDEFID)
        return LOWORD(answer);
    return IDOK;
}

void press(HWND window, int id) {
    if (HWND button = GetDlgItem(window, id)) PostMessageW(button, BM_CLICK, 0, 0);
}

// The radio buttons and check boxes that are checked, by id, in Z order.
std::wstring checkedButtons(HWND dialog) {
    std::wstring ids;
    for (HWND child : childrenOf(dialog)) {
        if (!isButton(child)) continue;
        const LONG type = GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK;
        if (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON && type != BS_CHECKBOX &&
            type != BS_AUTOCHECKBOX && type != BS_3STATE && type != BS_AUTO3STATE)
            continue;
        DWORD_PTR state = 0;
        if (!sendTimeout(child, BM_GETCHECK, 0, 0, &state) || state != BST_CHECKED) continue;
        if (!ids.empty()) ids += L' ';
        ids += std::to_wstring(GetDlgCtrlID(child));
    }
    return ids;
}

std::wstring idList(const std::vector<int>& ids) {
    std::wstring text;
    for (int id : ids) {
        if (!text.empty()) text += L' ';
        text += std::to_wstring(id);
    }
    return text;
}

// Clicks the controls in order; the clicks before the last are sent, so that each one has
// been handled before the next and before the check states are read; the last one is posted,
// since what it starts (the end of the dialog, a message box) must not hold up the robot.
// Returns the id clicked last.
int clickDialog(HWND dialog, const std::vector<int>& ids, Fields& fields, std::wstring& error) {
    for (size_t i = 0; i + 1 < ids.size(); ++i) {
        HWND control = GetDlgItem(dialog, ids[i]);
        if (!control) {
            if (error.empty()) error = L"no control " + std::to_wstring(ids[i]);
            continue;
        }
        sendTimeout(control, BM_CLICK, 0, 0, nullptr);
    }
    fields.push_back({"clicked", idList(ids)});
    fields.push_back({"checked", checkedButtons(dialog)});
    const int last = ids.back();
    if (!GetDlgItem(dialog, last) && error.empty()) error = L"no control " + std::to_wstring(last);
    press(dialog, last);
    return last;
}

// The first visible edit control, in Z order, whose rectangle holds the client point.
HWND editAt(HWND wizard, int x, int y) {
    for (HWND child : childrenOf(wizard)) {
        if (_wcsicmp(className(child).c_str(), L"Edit") != 0 || !IsWindowVisible(child)) continue;
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, wizard, reinterpret_cast<POINT*>(&r), 2);
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return child;
    }
    return nullptr;
}

std::wstring editText(HWND edit) {
    DWORD_PTR length = 0;
    if (!sendTimeout(edit, WM_GETTEXTLENGTH, 0, 0, &length)) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!sendTimeout(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &got))
        return {};
    text.resize(got < text.size() ? got : text.size() - 1);
    return text;
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---------------------------------------------------------------- program

std::wstring quoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    // One that holds quotes already is written as a deployment tool would write it: as it is.
    if (arg.find(L'"') != std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless they precede a quote.
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

struct Options {
    std::wstring answers;
    std::wstring transcript;
    std::wstring shots;
    std::wstring windowClass = L"installWClass";
    DWORD timeoutSeconds = 60;
    std::vector<std::wstring> program;
};

void usage() {
    std::fwprintf(stderr,
                  L"usage: vornrobot.exe --answers FILE --transcript FILE [--timeout SECONDS] "
                  L"[--shots DIR] [--window-class NAME] -- PROGRAM ARGS...\n");
}

bool parseOptions(int argc, wchar_t** argv, Options& options) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) return false;
        if (arg == L"--answers") {
            options.answers = argv[++i];
        } else if (arg == L"--transcript") {
            options.transcript = argv[++i];
        } else if (arg == L"--shots") {
            options.shots = argv[++i];
        } else if (arg == L"--window-class") {
            options.windowClass = argv[++i];
        } else if (arg == L"--timeout") {
            wchar_t* end = nullptr;
            const unsigned long seconds = std::wcstoul(argv[++i], &end, 10);
            if (!end || *end != L'\0' || seconds == 0) return false;
            options.timeoutSeconds = static_cast<DWORD>(seconds);
        } else {
            return false;
        }
    }
    for (; i < argc; ++i) options.program.push_back(argv[i]);
    if (!options.shots.empty() && options.shots.back() != L'\\' && options.shots.back() != L'/')
        options.shots += L'\\';
    return !options.transcript.empty() && !options.program.empty();
}

struct Answered {
    int button;
    ULONGLONG clickedAt;
};

class Robot {
public:
    Robot(const Options& options, std::vector<Command> script, Transcript& transcript,
          HANDLE process, DWORD pid)
        : options_(options), script_(std::move(script)), transcript_(transcript),
          process_(process), pid_(pid) {
        // What was on the screen before the program started is not the program's doing.
        for (HWND window : visibleWindows()) seenWindows_.insert(window);
    }

    // One poll: every window that has come up since the last, the boxes and dialogs that are up,
    // then the command in hand.
    void poll(ULONGLONG now) {
        for (HWND window : visibleWindows()) {
            if (!seenWindows_.insert(window).second) continue;
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            transcript_.write({{"seen", className(window)}, {"title", windowText(window)},
                               {"by", owner == pid_ ? L"program" : L"other"}});
        }
        for (HWND window : windowsOf(pid_, L"#32770")) meet(window, now);
        // Forget windows that are gone, so a recycled handle counts as a new one.
        for (auto it = answered_.begin(); it != answered_.end();)
            it = IsWindow(it->first) ? std::next(it) : answered_.erase(it);
        if (next_ < script_.size()) act(now);
    }

    size_t unused() const { return script_.size() - next_; }

private:
    const Command* current() const { return next_ < script_.size() ? &script_[next_] : nullptr; }

    static bool holdsBoxes(const Command& command) {
        return command.kind == Command::Kind::Box || command.kind == Command::Kind::Shot ||
               command.kind == Command::Kind::Wait || command.kind == Command::Kind::Idle ||
               command.kind == Command::Kind::Poison;
    }

    void finish(ULONGLONG now) {
        ++next_;
        stepStarted_ = now;
        stepState_ = 0;
    }

    std::set<HWND> seenWindows_;

    // The note for a box or dialog the command in hand is not meant for.
    std::wstring unexpected(const wchar_t* what) const {
        const Command* command = current();
        if (command == nullptr) return {};
        return L"line " + std::to_wstring(command->line) + L": " + what +
               L" came while the script waits for " + command->keyword;
    }

    void meet(HWND window, ULONGLONG now) {
        auto seen = answered_.find(window);
        if (seen != answered_.end()) {
            if (now - seen->second.clickedAt >= kReclickMs) {
                press(window, seen->second.button);
                seen->second.clickedAt = now;
            }
            return;
        }
        const Command* command = current();
        // BOX, SHOT, WAIT and IDLE leave a box or dialog open for the command after them, so
        // that it can be looked at first.
        if (command != nullptr && holdsBoxes(*command)) return;
        Fields fields = {{"caption", windowText(window)}};
        std::wstring error;
        int button = 0;
        if (isDialog(window)) {
            if (command != nullptr && command->kind == Command::Kind::Dialog) {
                button = clickDialog(window, command->ids, fields, error);
                if (!error.empty()) error = L"line " + std::to_wstring(command->line) + L": " + error;
                finish(now);
            } else {
                error = unexpected(L"a dialog");
                button = clickDialog(window, {defaultDialogButton(window)}, fields, error);
            }
        } else {
            fields.push_back({"text", boxText(window)});
            button = defaultBoxButton(window);
            if (command != nullptr && command->kind == Command::Kind::Answer) {
                if (hasButton(window, command->button)) button = command->button;
                else
                    error = L"line " + std::to_wstring(command->line) + L": no " +
                            buttonName(command->button) + L" button";
                finish(now);
            } else {
                error = unexpected(L"a message box");
            }
            fields.push_back({"button", buttonName(button)});
            press(window, button);
        }
        if (!error.empty()) fields.push_back({"error", error});
        transcript_.write(fields);
        answered_[window] = {button, now};
    }

    HWND wizard() const {
        const std::vector<HWND> found = windowsOf(pid_, options_.windowClass);
        return found.empty() ? nullptr : found.front();
    }

    // The command could not find what it needs: note it and go on.
    bool gaveUp(ULONGLONG now, Fields fields, const std::wstring& what) {
        if (now - stepStarted_ < kFindPatienceMs) return false;
        fields.push_back({"error", L"line " + std::to_wstring(current()->line) + L": " + what});
        transcript_.write(fields);
        finish(now);
        return true;
    }

    // The program is waiting for input (after at least kSettleMs).
    bool settled(ULONGLONG now) const {
        if (now - stepStarted_ < kSettleMs) return false;
        const DWORD idle = WaitForInputIdle(process_, 0);
        return idle == 0 || idle == WAIT_FAILED || now - stepStarted_ >= kPatienceMs;
    }

    void act(ULONGLONG now) {
        const Command& command = *current();
        const std::wstring at = std::to_wstring(command.x) + L"," + std::to_wstring(command.y);
        switch (command.kind) {
            case Command::Kind::Answer:
            case Command::Kind::Dialog:
                return;  // met by the next box or dialog
            case Command::Kind::Window: {
                if (wizard()) {
                    transcript_.write({{"action", L"window"}});
                    finish(now);
                    return;
                }
                gaveUp(now, {{"action", L"window"}}, L"no window of class " + options_.windowClass);
                return;
            }
            case Command::Kind::Box:
                for (HWND window : windowsOf(pid_, L"#32770")) {
                    if (answered_.count(window)) continue;
                    transcript_.write({{"action", L"box"}});
                    finish(now);
                    return;
                }
                return;
            case Command::Kind::Click:
            case Command::Kind::RightClick: {
                const bool left = command.kind == Command::Kind::Click;
                const Fields fields = {{"action", left ? L"click" : L"rclick"}, {"at", at}};
                HWND window = wizard();
                if (!window) {
                    gaveUp(now, fields, L"no window of class " + options_.windowClass);
                    return;
                }
                const LPARAM point = MAKELPARAM(command.x, command.y);
                PostMessageW(window, left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN,
                             left ? MK_LBUTTON : MK_RBUTTON, point);
                PostMessageW(window, left ? WM_LBUTTONUP : WM_RBUTTONUP, 0, point);
                transcript_.write(fields);
                finish(now);
                return;
            }
            case Command::Kind::Type: {
                Fields fields = {{"action", L"type"}, {"at", at}, {"text", command.text}};
                HWND window = wizard();
                HWND edit = window ? editAt(window, command.x, command.y) : nullptr;
                if (!edit) {
                    gaveUp(now, fields, L"no visible edit control at " + at);
                    return;
                }
                sendTimeout(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command.text.c_str()),
                            nullptr);
                fields.push_back({"read", editText(edit)});
                transcript_.write(fields);
                finish(now);
                return;
            }
            case Command::Kind::Wait:
                if (now - stepStarted_ < command.milliseconds) return;
                transcript_.write({{"action", L"wait"}, {"ms", std::to_wstring(command.milliseconds)}});
                finish(now);
                return;
            case Command::Kind::Poison: {
                Fields fields = {{"action", L"poison"}, {"at", command.text + L"!" + command.function}};
                // The DLLs of Windows load at the same address in every process of a session.
                HMODULE module = LoadLibraryW(command.text.c_str());
                std::string name(command.function.begin(), command.function.end());
                void* code = module ? reinterpret_cast<void*>(GetProcAddress(module, name.c_str())) : nullptr;
                DWORD old = 0;
                if (!code || !VirtualProtectEx(process_, code, 1, PAGE_NOACCESS, &old))
                    fields.push_back({"error", L"line " + std::to_wstring(command.line) + L": cannot poison " +
                                                   command.text + L"!" + command.function});
                transcript_.write(fields);
                finish(now);
                return;
            }
            case Command::Kind::Gone: {
                const Fields fields = {{"action", L"gone"}, {"class", command.text}};
                if (FindWindowW(command.text.c_str(), nullptr) == nullptr) {
                    transcript_.write(fields);
                    finish(now);
                } else if (now - stepStarted_ >= kGonePatienceMs) {
                    Fields late = fields;
                    late.push_back({"error", L"line " + std::to_wstring(command.line) +
                                                 L": a window of class " + command.text + L" is still there"});
                    transcript_.write(late);
                    finish(now);
                }
                return;
            }
            case Command::Kind::Idle:
                if (!settled(now)) return;
                transcript_.write({{"action", L"idle"}});
                finish(now);
                return;
            case Command::Kind::Shot:
                shoot(command, now);
                return;
        }
    }

    // stepState_: 0 settling, 1 requested (shotRequested_ is when).
    void shoot(const Command& command, ULONGLONG now) {
        Fields fields = {{"action", L"shot"}, {"name", command.text}};
        if (options_.shots.empty()) {
            fields.push_back({"skipped", L"no --shots folder"});
            transcript_.write(fields);
            finish(now);
            return;
        }
        const std::wstring picture = options_.shots + command.text + L".png";
        if (stepState_ == 0) {
            if (!settled(now)) return;
            DeleteFileW(picture.c_str());
            const std::wstring request = options_.shots + command.text + L".request";
            HANDLE h = CreateFileW(request.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                fields.push_back({"error", L"cannot write " + request});
                transcript_.write(fields);
                finish(now);
                return;
            }
            CloseHandle(h);
            std::wprintf(L"vornrobot: screenshot %ls\n", command.text.c_str());
            std::fflush(stdout);
            stepState_ = 1;
            shotRequested_ = now;
            return;
        }
        if (fileExists(picture)) {
            transcript_.write(fields);
            finish(now);
        } else if (now - shotRequested_ >= kShotWaitMs) {
            fields.push_back({"error", L"the harness took no screenshot"});
            transcript_.write(fields);
            finish(now);
        }
    }

    const Options& options_;
    std::vector<Command> script_;
    Transcript& transcript_;
    HANDLE process_;
    DWORD pid_;
    size_t next_ = 0;  // the command in hand
    ULONGLONG stepStarted_ = GetTickCount64();
    int stepState_ = 0;
    ULONGLONG shotRequested_ = 0;
    std::map<HWND, Answered> answered_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        usage();
        return kExitRobotError;
    }
    std::vector<Command> script;
    std::wstring error;
    if (!options.answers.empty() && !loadScript(options.answers, script, error)) {
        std::fwprintf(stderr, L"vornrobot: %ls\n", error.c_str());
        return kExitRobotError;
    }
    Transcript transcript;
    if (!transcript.open(options.transcript)) {
        std::fwprintf(stderr, L"vornrobot: cannot create %ls\n", options.transcript.c_str());
        return kExitRobotError;
    }

    std::wstring commandLine;
    for (const std::wstring& arg : options.program) {
        if (!commandLine.empty()) commandLine += L' ';
        commandLine += quoteArgument(arg);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fwprintf(stderr, L"vornrobot: cannot start %ls (error %lu)\n", commandLine.c_str(),
                      GetLastError());
        return kExitRobotError;
    }
    CloseHandle(process.hThread);

    Robot robot(options, std::move(script), transcript, process.hProcess, process.dwProcessId);
    const ULONGLONG deadline = GetTickCount64() + options.timeoutSeconds * 1000ULL;
    for (;;) {
        robot.poll(GetTickCount64());
        if (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_OBJECT_0) break;
        if (GetTickCount64() >= deadline) {
            std::fwprintf(stderr, L"vornrobot: timeout after %lu s, killing the program\n",
                          options.timeoutSeconds);
            TerminateProcess(process.hProcess, kExitTimeout);
            WaitForSingleObject(process.hProcess, 5000);
            CloseHandle(process.hProcess);
            return kExitTimeout;
        }
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    // Unix keeps only the low 8 bits of the exit code; the harness reads all 32 here.
    std::fwprintf(stderr, L"vornrobot: exit code %lu\n", exitCode);
    if (robot.unused() > 0)
        std::fwprintf(stderr, L"vornrobot: %lu command(s) of the script left unused\n",
                      static_cast<unsigned long>(robot.unused()));
    return static_cast<int>(exitCode);
}
