#pragma once

#include "document/transfer_files.h"

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace vemra::test {

// Answers the questions from a script and remembers what was asked.
class ScriptedQuestions : public TransferQuestions {
public:
    std::deque<SameNameAnswer> sameNameAnswers; // empty: cancel
    bool confirmAnswer = true;
    ErrorChoice errorChoice = ErrorChoice::Ignore;
    int cancelAfterAdvances = -1; // "中止" pressed at that advance

    int sameNameAsked = 0;
    std::vector<std::string> reports;
    std::vector<std::string> confirmations;
    std::vector<std::string> errors;
    std::vector<std::string> outcomes; // "copied a.jpg" etc.
    int advances = 0;

    void report(const std::string& text) override { reports.push_back(text); }
    bool confirm(const std::string& question) override {
        confirmations.push_back(question);
        return confirmAnswer;
    }
    SameNameAnswer sameName(const std::string&, const std::string&,
                            const TransferOptions&) override {
        ++sameNameAsked;
        if (sameNameAnswers.empty())
            return {};
        SameNameAnswer answer = sameNameAnswers.front();
        sameNameAnswers.pop_front();
        return answer;
    }
    ErrorChoice failed(const std::string&, const std::string&, const std::string& text) override {
        errors.push_back(text);
        const ErrorChoice choice = errorChoice;
        if (choice == ErrorChoice::Retry)
            errorChoice = ErrorChoice::Ignore; // retried once
        return choice;
    }
    void beginProgress(std::string_view, std::string_view, int total) override {
        progressTotal = total;
    }
    void setProgressTotal(int total) override { progressTotal = total; }
    bool advance(std::string_view) override { return ++advances == cancelAfterAdvances; }
    bool cancelRequested() override { return false; }
    void endProgress() override {}
    void fileDone(const std::string& source, const std::string& target, TransferOutcome outcome,
                  std::string_view) override {
        static const char* const kWords[] = {"transferred", "skipped", "failed", "passed-over",
                                             "deleted"};
        outcomes.push_back(
            std::string(kWords[static_cast<int>(outcome)]) + " " +
            std::filesystem::path(target.empty() ? source : target).filename().string());
    }
    int progressTotal = 0;
};

inline void putFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The names in a folder, sorted, hidden ones included.
inline std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& e : std::filesystem::directory_iterator(folder, error))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A small tmpfs mounted at `path` in a mount namespace of this process
// alone (it vanishes with the process, whatever happens), unmounted when
// the object goes. Not mounted when the system refuses (no privilege, a
// container without mounts): tests then skip.
class ScopedMount {
public:
    ScopedMount(const std::string& path, const char* options) : m_path(path) {
        std::filesystem::create_directories(path);
        static bool ownNamespace = false;
        if (!ownNamespace) {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
                return;
            ownNamespace = true;
        }
        m_mounted = ::mount("tmpfs", path.c_str(), "tmpfs", 0, options) == 0;
    }
    ~ScopedMount() {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    bool mounted() const { return m_mounted; }
    // Makes the file system read-only.
    bool makeReadOnly() {
        return m_mounted &&
               ::mount(nullptr, m_path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    std::string m_path;
    bool m_mounted = false;
};

} // namespace vemra::test
