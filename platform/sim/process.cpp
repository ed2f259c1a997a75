#include "platform/process.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/sim/machine.h"

namespace plat {

namespace {

sim::Machine& machine() {
    if (sim::Machine* m = sim::current()) return *m;
    std::fputs("no simulated machine for starting a program\n", stderr);
    std::abort();
}


// Command-line words as programs split them: blanks separate, double quotes group.
std::vector<std::string> words(const std::string& commandLine) {
    std::vector<std::string> result;
    std::string word;
    bool quoted = false, inWord = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) result.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) result.push_back(word);
    return result;
}

std::string directoryOf(const std::string& normalized) {
    size_t cut = normalized.rfind('\\');
    return cut == std::string::npos ? std::string() : normalized.substr(0, cut);
}

std::string fileNameOf(const std::string& normalized) {
    size_t cut = normalized.rfind('\\');
    return cut == std::string::npos ? normalized : normalized.substr(cut + 1);
}

bool inSystemDirectory(const sim::Machine& m, const std::string& normalized) {
    std::string dir = directoryOf(normalized);
    return dir == sim::lowerAscii(m.systemDir()) || (m.is64Bit() && dir == sim::lowerAscii(m.sysWow64Dir()));
}

// The file a program name stands for, searched as CreateProcess does for a bare name: the
// setup's own folder first, then the current, system and Windows directories.
std::string findProgram(const sim::Machine& m, const std::string& name) {
    std::vector<std::string> candidates;
    if (name.find('\\') != std::string::npos || name.find(':') != std::string::npos) {
        candidates.push_back(name);
    } else {
        for (const std::string& dir :
             {m.processes.applicationDir, m.currentDirectory, m.systemDir(), m.windowsDir})
            candidates.push_back(dir + "\\" + name);
    }
    for (std::string candidate : candidates) {
        if (fileNameOf(candidate).find('.') == std::string::npos) candidate += ".exe";
        std::string normalized = m.normalize(candidate);
        if (m.exists(candidate) && !m.isDirectory(candidate)) return normalized;
        const std::vector<std::string>& builtIn = m.processes.systemPrograms;
        if (inSystemDirectory(m, normalized) &&
            std::find(builtIn.begin(), builtIn.end(), fileNameOf(normalized)) != builtIn.end())
            return normalized;
    }
    return {};
}

// The program a command line starts. Quoted, the quoted path; unquoted, as CreateProcess reads
// it: each blank may end the path, the shortest that names a program wins ("C:\Program.exe"
// before "C:\Program Files\vornel8\setupw64.exe").
std::string programOf(const sim::Machine& m, const std::string& commandLine) {
    std::vector<std::string> arguments = words(commandLine);
    if (arguments.empty()) return {};
    if (commandLine[0] == '"') return findProgram(m, arguments[0]);
    for (size_t end = commandLine.find(' '); end != std::string::npos; end = commandLine.find(' ', end + 1))
        if (std::string found = findProgram(m, commandLine.substr(0, end)); !found.empty()) return found;
    return findProgram(m, commandLine);
}

// regsvr32 loads the module as its own (child) process sees the path, and the module's entry
// point writes into the registry view of the module's bitness; with /u the module's
// unregistration entry point deletes its keys there instead.
void registerModule(sim::Machine& m, sim::StartedProgram& started,
                    const std::vector<std::string>& arguments) {
    std::string module;
    bool unregister = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (sim::lowerAscii(arguments[i]) == "/u") unregister = true;
        else if (module.empty() && !arguments[i].empty() && arguments[i][0] != '/')
            module = arguments[i];
    }
    if (module.empty()) return;

    bool saved = m.redirectionDisabled;
    m.redirectionDisabled = started.bits == 64;
    bool found = m.exists(module) && !m.isDirectory(module);
    std::string normalized = m.normalize(module);
    m.redirectionDisabled = saved;
    if (!found) return;

    auto it = m.processes.modules.find(sim::lowerAscii(fileNameOf(normalized)));
    if (it == m.processes.modules.end()) return;
    sim::View view = it->second.bits == 32 && m.is64Bit() ? sim::View::redirected
                                                           : sim::View::native;
    if (unregister) {
        for (const std::string& key : it->second.owned)
            m.registry.remove(sim::Hive::localMachine, key, view);
        started.unregisteredModule = normalized;
        return;
    }
    for (const std::string& key : it->second.keys)
        m.registry.make(sim::Hive::localMachine, key, view);
    started.registeredModule = normalized;
}

}  // namespace

namespace {
bool hiddenPrograms = false;
}

void startProgramsHidden(bool hidden) { hiddenPrograms = hidden; }

unsigned winExec(const char* commandLine, unsigned show) {
    sim::Machine& m = machine();
    if (hiddenPrograms) show = 0;  // SW_HIDE
    // A program that cannot be started (no memory, refused by a guard): nothing runs.
    if (m.faultHere("program start")) return 0;
    sim::StartedProgram started;
    started.commandLine = commandLine ? commandLine : "";
    started.show = show;
    started.redirectionOff = m.redirectionDisabled;
    std::vector<std::string> arguments = words(started.commandLine);
    started.program = programOf(m, started.commandLine);
    if (!started.program.empty()) {
        bool native = m.is64Bit() && directoryOf(started.program) == sim::lowerAscii(m.systemDir());
        started.bits = native ? 64 : 32;
        if (fileNameOf(started.program) == "regsvr32.exe" && inSystemDirectory(m, started.program))
            registerModule(m, started, arguments);
    }
    m.processes.started.push_back(started);
    if (m.processes.onStart) m.processes.onStart(m, m.processes.started.back());
    return started.program.empty() ? 2 : 33;
}

bool runAndWait(const char* commandLine, unsigned show, unsigned timeoutMilliseconds) {
    sim::Machine& m = machine();
    if (winExec(commandLine, show) <= 31) return false;
    sim::StartedProgram& started = m.processes.started.back();
    started.waitedFor = true;
    // The program takes its time; the caller waits that long, or until it gives up.
    unsigned runs = m.processes.runTime;
    m.sleptMilliseconds += runs < timeoutMilliseconds ? runs : timeoutMilliseconds;
    return runs < timeoutMilliseconds;
}

}  // namespace plat
