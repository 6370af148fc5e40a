// Running the file chooser and taking its answer.
#include "app/file_chooser.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/file_callbacks.h"
#include "model/editor_parts.h"
#include "model/editor_state.h"

extern char** environ;

namespace {

// What the waiting thread hands over. Shared with the thread, which may outlive a quit.
struct ChooserAnswer {
    std::atomic<pid_t> child{0};  // the chooser's process while it runs
    std::mutex lock;
    bool done = false;
    int status = -1;  // the chooser's exit status, -1 when it could not run
    std::string output;
};

struct ChooserData {
    std::shared_ptr<ChooserAnswer> answer;  // null while no chooser is open
    char* field = nullptr;
    bool loadChosen = false;  // opened by ctrl+o: the chosen surface is loaded
};
ChooserData gChooser;

std::string chooserProgram() {
    const char* named = std::getenv("LOFTWORK_FILE_CHOOSER");
    return named != nullptr && named[0] != '\0' ? named : "zenity";
}

// The program's path when it can be run: as given when it holds a slash, else found on PATH.
bool findProgram(const std::string& program, std::string& path) {
    if (program.find('/') != std::string::npos) {
        path = program;
        return access(path.c_str(), X_OK) == 0;
    }
    const char* search = std::getenv("PATH");
    std::string dirs = search != nullptr ? search : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        path = (dir.empty() ? "." : dir) + "/" + program;
        if (access(path.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Runs the chooser with its output on a pipe and waits for it; on its own thread.
void runChooser(std::shared_ptr<ChooserAnswer> answer, std::vector<std::string> arguments) {
    int status = -1;
    std::string output;
    int pipeEnds[2];
    if (pipe(pipeEnds) == 0) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        pid_t child = 0;
        const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned == 0) answer->child = child;
        close(pipeEnds[1]);
        if (spawned == 0) {
            char buffer[512];
            ssize_t got;
            while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0 && output.size() < 65536) {
                output.append(buffer, static_cast<size_t>(got));
            }
            int waited = 0;
            if (waitpid(child, &waited, 0) == child && WIFEXITED(waited)) {
                status = WEXITSTATUS(waited);
            }
            answer->child = 0;
        }
        close(pipeEnds[0]);
    }
    std::lock_guard<std::mutex> hold(answer->lock);
    answer->status = status;
    answer->output = output;
    answer->done = true;
}

}  // namespace

bool startFileChooser(char* field, const char* title, bool save, std::string& error,
                      const std::vector<std::string>& filters, bool loadChosen) {
    if (gChooser.answer != nullptr) {
        error = "a file chooser is open already";
        return false;
    }
    const std::string program = chooserProgram();
    std::string path;
    if (!findProgram(program, path)) {
        error = "no file chooser (" + program + ") is installed: type the path into the box";
        return false;
    }
    std::vector<std::string> arguments = {path, "--file-selection",
                                          std::string("--title=") + title};
    if (save) arguments.push_back("--save");
    if (field[0] != '\0') arguments.push_back(std::string("--filename=") + field);
    for (const std::string& filter : filters) arguments.push_back("--file-filter=" + filter);
    auto answer = std::make_shared<ChooserAnswer>();
    try {
        std::thread(runChooser, answer, arguments).detach();
    } catch (const std::exception&) {
        error = "the file chooser cannot be started";
        return false;
    }
    gChooser.answer = answer;
    gChooser.field = field;
    gChooser.loadChosen = loadChosen;
    return true;
}

bool takeChosenFile(std::string& message, bool* loadChosen) {
    if (loadChosen != nullptr) *loadChosen = false;
    if (gChooser.answer == nullptr) return false;
    int status;
    std::string output;
    {
        std::lock_guard<std::mutex> hold(gChooser.answer->lock);
        if (!gChooser.answer->done) return false;
        status = gChooser.answer->status;
        output = gChooser.answer->output;
    }
    char* field = gChooser.field;
    const bool load = gChooser.loadChosen;
    gChooser = ChooserData();
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    if (status == 1) {
        message = "browse: nothing chosen";
    } else if (status != 0) {
        message = "browse: the file chooser failed; type the path into the box";
    } else if (output.empty() || output.find('\n') != std::string::npos) {
        message = "browse: the file chooser gave no single path";
    } else if (output.size() >= static_cast<size_t>(kTextFieldSize)) {
        message = "browse: the path chosen is longer than the box holds (" +
                  std::to_string(kTextFieldSize - 1) + " characters)";
    } else {
        std::memcpy(field, output.c_str(), output.size() + 1);
        message = "browse: " + output;
        if (loadChosen != nullptr) *loadChosen = load;
    }
    return true;
}

const std::vector<std::string> kSurfaceFileFilters = {
    "Surfaces, STEP and IGES | *.surf *.step *.stp *.igs *.iges *.STEP *.STP *.IGS *.IGES",
    "All files | *"};

bool takeChooserAnswer() {
    std::string message;
    bool load = false;
    if (!takeChosenFile(message, &load)) return false;
    setStatusLinef(editor.panel, "%s", message.c_str());
    if (load) loadOrImportCallback(-1);
    return true;
}

void closeFileChooser() {
    if (gChooser.answer == nullptr) return;
    const pid_t child = gChooser.answer->child;
    if (child > 0) kill(child, SIGTERM);
}
