// vornrobot: starts a program under Wine, answers its message boxes from a
// script and writes a transcript of every box it met.
//
//   vornrobot.exe --answers FILE --transcript FILE [--timeout SECONDS] -- PROGRAM ARGS...
//
// Answers file: UTF-8, one command per line; blank lines and lines starting
// with '#' are ignored, keywords are case-insensitive.
//   OK | YES | NO | CANCEL   press that button in the next message box
// Commands are used in order, one per box. When the script is exhausted (or
// --answers is not given) a box gets OK if it has an OK button, otherwise its
// first (leftmost) button. A command naming a button the box does not have
// presses the default button instead and records an "error" in the transcript,
// so that the test comparing the transcript fails.
//
// Transcript: UTF-8, one JSON object per box, in the order the boxes appeared:
//   {"caption": "...", "text": "...", "button": "OK"}
// Each line is written as soon as the box is answered, so a transcript
// survives a hung or killed program.
//
// Exit code: the program's exit code; 124 when --timeout expired (the program
// is killed); 125 when the robot itself could not do its job (bad arguments,
// unreadable script, program not started).

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kExitTimeout = 124;
constexpr int kExitRobotError = 125;
constexpr DWORD kPollMs = 50;
// A click can be lost if it arrives while the box is still being set up;
// a box still there after this long gets the same button again.
constexpr ULONGLONG kReclickMs = 1500;

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

// One line of the answers file. New kinds of command (clicking the wizard at
// client coordinates, typing into an edit control) get their own Kind, a case
// in parseCommand and a handler in the main loop.
struct Command {
    enum class Kind { Answer };
    Kind kind = Kind::Answer;
    int button = 0;  // Kind::Answer: the button's control id
    int line = 0;    // where it came from, for messages
};

std::wstring upper(std::wstring s) {
    for (wchar_t& c : s)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

std::vector<std::wstring> splitWords(const std::wstring& line) {
    std::vector<std::wstring> words;
    std::wstring word;
    for (wchar_t c : line) {
        if (c == L' ' || c == L'\t' || c == L'\r') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

bool parseCommand(const std::vector<std::wstring>& words, int line, Command& out, std::wstring& error) {
    const std::wstring keyword = upper(words[0]);
    for (const wchar_t* answer : {L"OK", L"YES", L"NO", L"CANCEL"}) {
        if (keyword != answer) continue;
        if (words.size() != 1) {
            error = keyword + L" takes no arguments";
            return false;
        }
        out.kind = Command::Kind::Answer;
        for (const ButtonName& b : kButtons)
            if (keyword == b.name) out.button = b.id;
        out.line = line;
        return true;
    }
    error = L"unknown command \"" + words[0] + L"\"";
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
        const std::vector<std::wstring> words = splitWords(text.substr(start, end - start));
        start = end + 1;
        if (words.empty() || words[0][0] == L'#') continue;
        Command command;
        if (!parseCommand(words, lineNo, command, error)) {
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
    void write(const std::vector<std::pair<const char*, std::wstring>>& fields) {
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

struct BoxSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collectBox(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid) return TRUE;
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    // Only visible boxes: a dialog is shown after WM_INITDIALOG has set its texts.
    if (std::wcscmp(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> messageBoxesOf(DWORD pid) {
    BoxSearch search{pid, {}};
    EnumWindows(collectBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring windowText(HWND hwnd) {
    if (!hwnd) return {};
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

// The message text lives in the static control 0xFFFF.
std::wstring boxText(HWND box) {
    return windowText(GetDlgItem(box, 0xFFFF));
}

// A message box keeps the buttons it does not use, hidden.
bool hasButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    return button && IsWindowVisible(button);
}

struct ButtonSearch {
    HWND leftmost = nullptr;
    LONG left = 0;
};

BOOL CALLBACK findLeftmostButton(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<ButtonSearch*>(param);
    wchar_t cls[16] = {};
    GetClassNameW(child, cls, 16);
    if (_wcsicmp(cls, L"Button") != 0 || !IsWindowVisible(child)) return TRUE;
    RECT r;
    GetWindowRect(child, &r);
    if (!search->leftmost || r.left < search->left) {
        search->leftmost = child;
        search->left = r.left;
    }
    return TRUE;
}

int defaultButton(HWND box) {
    if (hasButton(box, IDOK)) return IDOK;
    ButtonSearch search;
    EnumChildWindows(box, findLeftmostButton, reinterpret_cast<LPARAM>(&search));
    return search.leftmost ? GetDlgCtrlID(search.leftmost) : IDOK;
}

void press(HWND box, int id) {
    if (HWND button = GetDlgItem(box, id)) PostMessageW(button, BM_CLICK, 0, 0);
}

// ---------------------------------------------------------------- program

std::wstring quoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
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
    DWORD timeoutSeconds = 60;
    std::vector<std::wstring> program;
};

void usage() {
    std::fwprintf(stderr,
                  L"usage: vornrobot.exe --answers FILE --transcript FILE [--timeout SECONDS] -- "
                  L"PROGRAM ARGS...\n");
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
    return !options.transcript.empty() && !options.program.empty();
}

struct Answered {
    int button;
    ULONGLONG clickedAt;
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

    size_t next = 0;  // next unused command of the script
    std::map<HWND, Answered> answered;
    const ULONGLONG deadline = GetTickCount64() + options.timeoutSeconds * 1000ULL;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const std::vector<HWND> boxes = messageBoxesOf(process.dwProcessId);
        for (HWND box : boxes) {
            auto seen = answered.find(box);
            if (seen != answered.end()) {
                if (now - seen->second.clickedAt >= kReclickMs) {
                    press(box, seen->second.button);
                    seen->second.clickedAt = now;
                }
                continue;
            }
            std::vector<std::pair<const char*, std::wstring>> fields = {
                {"caption", windowText(box)}, {"text", boxText(box)}};
            int button = defaultButton(box);
            if (next < script.size() && script[next].kind == Command::Kind::Answer) {
                const Command& command = script[next++];
                if (hasButton(box, command.button)) {
                    button = command.button;
                } else {
                    fields.push_back({"error", L"line " + std::to_wstring(command.line) + L": no " +
                                                   buttonName(command.button) + L" button"});
                }
            }
            fields.insert(fields.begin() + 2, {"button", buttonName(button)});
            transcript.write(fields);
            press(box, button);
            answered[box] = {button, now};
        }
        // Forget boxes that are gone, so a recycled handle counts as a new box.
        for (auto it = answered.begin(); it != answered.end();)
            it = IsWindow(it->first) ? std::next(it) : answered.erase(it);

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
    if (next < script.size())
        std::fwprintf(stderr, L"vornrobot: %lu command(s) of the script left unused\n",
                      static_cast<unsigned long>(script.size() - next));
    return static_cast<int>(exitCode);
}
