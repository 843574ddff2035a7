#include "app/application_app.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "app/language.h"
#include "app/ui/application_dlg.h"
#include "comm/comm_engine.h"
#include "store/program_dir.h"

#ifndef PONTIQ_VERSION
#define PONTIQ_VERSION ""
#endif

namespace pontiq {

namespace app_store {
void InstallHooks(const COperateCharacter& characters);
CSqlManagement& ProgramStore();
}  // namespace app_store

std::unique_ptr<QObject> StartStallProbe();  // application_stall_probe.cpp

namespace {

CApplicationApp* gApp = nullptr;

}  // namespace

// ---- Application object -------------------------------------------------------------------

CApplicationApp::CApplicationApp() : CApplicationApp(Steps{})
{
}

CApplicationApp::CApplicationApp(Steps steps) : steps_(std::move(steps))
{
    gApp = this;
}

CApplicationApp::~CApplicationApp()
{
    if (gApp == this) gApp = nullptr;
}

CApplicationApp& CApplicationApp::Instance()
{
    return *gApp;
}

CApplicationApp* CApplicationApp::InstancePointer()
{
    return gApp;
}

CommEngine* CApplicationApp::EngineOr(CommEngine* injected)
{
    if (injected) return injected;
    return gApp && gApp->HasEngine() ? &gApp->engine() : nullptr;
}

CSqlManagement* CApplicationApp::StoreOr(CSqlManagement* injected)
{
    if (injected) return injected;
    return gApp && gApp->HasStore() ? &gApp->store() : nullptr;
}

CommEngine& CApplicationApp::engine() const
{
    return *engine_;
}

CSqlManagement& CApplicationApp::store() const
{
    return *store_;
}

const AppSettings& CurrentSettings()
{
    if (gApp) return gApp->settings();
    static const AppSettings defaults = [] {
        AppSettings settings;
        ReadSettings(IniFile(), std::string_view(), PONTIQ_VERSION, settings);
        return settings;
    }();
    return defaults;
}

const SkinPaths& CurrentSkinPaths()
{
    if (gApp) return gApp->skinPaths();
    static const SkinPaths none;
    return none;
}

std::string CApplicationApp::ApplicationName()
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).stem().string();
}

void CApplicationApp::Trace(std::string_view step) const
{
    if (steps_.trace) steps_.trace(step);
}

void CApplicationApp::LoadConfiguration(const std::string& programDir, uint32_t systemLocale)
{
    Trace("language");
    localeNumber_ = LoadLanguage(programDir, systemLocale).localeNumber;
    Trace("settings");
    settings_ = LoadSettings(programDir, PONTIQ_VERSION);
    Trace("skin");
    skinPaths_ = BuildSkinPaths(programDir, localeNumber_);
}

void CApplicationApp::RequestQuit()
{
    quitRequested_ = true;
    if (mainWindow_) mainWindow_->EndMainWindow();
}

int CApplicationApp::Run()
{
    // Windows Sockets and COM need no start here; their steps keep their place in the order.
    Trace("lock");
    const std::string lockDir =
        steps_.lockDirectory ? steps_.lockDirectory() : SingleInstanceLock::RuntimeDirectory();
    if (instanceLock_.Acquire(lockDir) == SingleInstanceLock::Result::AlreadyRunning) {
        outcome_ = Outcome::AlreadyRunning;  // silently: the running copy is left alone
        ExitStep();
        return 0;
    }
    if (steps_.handleSignals) signals_ = std::make_unique<TerminationSignals>([this] { RequestQuit(); });

    Trace("programDir");
    const std::string dir = steps_.programDir ? steps_.programDir() : ProgramDir();
    LoadConfiguration(dir, steps_.systemLocale ? steps_.systemLocale() : SystemLocaleNumber());

    app_store::InstallHooks(characters_);

    Trace("engine");
    engine_ = steps_.engine ? &steps_.engine() : &CommEngine::Instance();
    Trace("engineStart");
    if (steps_.startEngine) {
        steps_.startEngine(*engine_, settings_.retransmissionMax, settings_.retransmissionInterval);
    } else {
        engine_->Start(settings_.retransmissionMax, settings_.retransmissionInterval);  // result ignored
    }
    Trace("store");
    store_ = steps_.store ? &steps_.store() : &app_store::ProgramStore();

    Trace("mainWindow");
    if (signals_) signals_->TakePending();  // a signal during start-up: no window at all
    if (!quitRequested_) {
        if (steps_.runMainWindow) {
            steps_.runMainWindow(*this);
        } else {
            CApplicationDlg window;
            mainWindow_ = &window;
            const std::unique_ptr<QObject> stallProbe = StartStallProbe();  // PONTIQ_STALL_PROBE
            if (!quitRequested_) window.RunModal();
            mainWindow_ = nullptr;
        }
    }
    outcome_ = Outcome::Completed;
    ExitStep();
    return 0;
}

void CApplicationApp::ExitStep()
{
    Trace("exit");
    signals_.reset();
    // The engine goes before the store: its last act is a MSG_RELEASE to every device it knows,
    // and its threads write to the store until they stop. The store itself closes and deletes
    // data.mdb when the process ends, after the engine.
    if (engine_) {
        Trace("engineStop");
        if (steps_.stopEngine) {
            steps_.stopEngine(*engine_);
        } else {
            engine_->Shutdown();
        }
    }
}

}  // namespace pontiq
