// The application object: the start sequence, the shut-down, and the state every window reads
// after start-up (settings, skin, program directory, the engine and the store).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/ini_file.h"
#include "app/operate_system_info.h"
#include "app/settings.h"
#include "app/single_instance.h"
#include "app/skin_paths.h"
#include "comm/operate_character.h"

namespace pontiq {

class CommEngine;
class CSqlManagement;
class CApplicationDlg;

// SIGINT and SIGTERM end the program as the Close button does: the handler only writes a byte to
// a pipe; a notifier on the user-interface thread reads it and calls the given function.
// A second signal after the first has been taken ends the process at once (default action).
class TerminationSignals final {
public:
    explicit TerminationSignals(std::function<void()> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    // Handles a signal that arrived while no event loop ran; true when there was one.
    bool TakePending();
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class CApplicationApp final {
public:
    // The seams of the start sequence; every empty member means the program's own step.
    struct Steps {
        std::function<std::string()> programDir;     // ProgramDir()
        std::function<std::string()> lockDirectory;  // SingleInstanceLock::RuntimeDirectory()
        std::function<uint32_t()> systemLocale;      // SystemLocaleNumber()
        std::function<CommEngine&()> engine;         // CommEngine::Instance()
        std::function<bool(CommEngine&, int32_t, int32_t)> startEngine;  // CommEngine::Start
        std::function<CSqlManagement&()> store;                          // CSqlManagement::Instance()
        std::function<void(CApplicationApp&)> runMainWindow;             // CApplicationDlg, modal
        std::function<void(CommEngine&)> stopEngine;                     // CommEngine::Shutdown
        std::function<void(std::string_view step)> trace;                // told each step as it begins
        bool handleSignals = true;                                       // install TerminationSignals
    };

    CApplicationApp();
    explicit CApplicationApp(Steps steps);
    ~CApplicationApp();
    CApplicationApp(const CApplicationApp&) = delete;
    CApplicationApp& operator=(const CApplicationApp&) = delete;

    // The one application object of the process; valid while it exists.
    static CApplicationApp& Instance();
    static CApplicationApp* InstancePointer();
    // What a window uses: the engine or store injected for tests when there is one, else the
    // application's, else nullptr.
    static CommEngine* EngineOr(CommEngine* injected);
    static CSqlManagement* StoreOr(CSqlManagement* injected);

    // The start sequence, the modal main window and the exit step. Returns the process exit
    // code: 0 also when a second copy ends at once.
    int Run();

    enum class Outcome { NotRun, AlreadyRunning, Completed };
    Outcome LastOutcome() const { return outcome_; }

    // Ends the main window as its Close button does; before the window exists, it is not shown.
    void RequestQuit();
    bool QuitRequested() const { return quitRequested_; }
    CApplicationDlg* MainWindow() const { return mainWindow_; }
    void SetMainWindow(CApplicationDlg* window) { mainWindow_ = window; }

    // Read-only state after start-up.
    const std::string& programDir() const { return settings_.programDir; }
    const std::string& versionLabel() const { return settings_.versionLabel; }
    int32_t retransmissionMax() const { return settings_.retransmissionMax; }
    int32_t retransmissionInterval() const { return settings_.retransmissionInterval; }
    int32_t gridRowHeight() const { return settings_.gridRowHeight; }
    const SkinSettings& skin() const { return settings_.skin; }
    const SkinPaths& skinPaths() const { return skinPaths_; }
    const AppSettings& settings() const { return settings_; }
    uint32_t localeNumber() const { return localeNumber_; }
    CommEngine& engine() const;
    CSqlManagement& store() const;
    bool HasEngine() const { return engine_ != nullptr; }
    bool HasStore() const { return store_ != nullptr; }
    const COperateCharacter& characters() const { return characters_; }
    const COperateFileIni& iniFile() const { return iniFile_; }
    const COperateSystemInfo& systemInfo() const { return systemInfo_; }
    // The file name of the executable without extension: the caption of the program's own boxes.
    static std::string ApplicationName();

    // Loads language, settings and skin paths as steps 6 to 9 of the start sequence do; also
    // used by windows tests that need the skin without the rest of the start.
    void LoadConfiguration(const std::string& programDir, uint32_t systemLocale);

private:
    void Trace(std::string_view step) const;
    void ExitStep();

    Steps steps_;
    AppSettings settings_;
    SkinPaths skinPaths_;
    uint32_t localeNumber_ = 0;
    COperateCharacter characters_;
    COperateFileIni iniFile_;
    COperateSystemInfo systemInfo_;
    CommEngine* engine_ = nullptr;
    CSqlManagement* store_ = nullptr;
    CApplicationDlg* mainWindow_ = nullptr;
    SingleInstanceLock instanceLock_;
    std::unique_ptr<TerminationSignals> signals_;
    Outcome outcome_ = Outcome::NotRun;
    bool quitRequested_ = false;
};

// The settings and skin paths of the running application, or the built-in defaults (no program
// directory, so no images) when there is no application object, as in window tests.
const AppSettings& CurrentSettings();
const SkinPaths& CurrentSkinPaths();

// Shorthand for CApplicationApp::Instance().
inline CApplicationApp& App()
{
    return CApplicationApp::Instance();
}

}  // namespace pontiq
