// CMainDialog: building the window, its tabs and its events, and the order of
// start-up and shut-down. The play and save buttons are in main_dialog_jobs.cpp.
#include "main_dialog.h"

#include <dlfcn.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <cstdio>
#include <exception>

#include "about_dialog.h"
#include "close_signals.h"
#include "file_choice.h"
#include "main_dialog_layout.h"
#include "messages.h"
#include "plugin_scan.h"
#include "settings_dialogs.h"
#include "wave_file.h"
#include "wave_out_devices.h"

namespace {

constexpr int kProgressPeriodMs = 1000;

}  // namespace

CMainDialog::CMainDialog(const std::string& pluginFolder, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(mainwindow::kTitlePrefix) + QString::fromUtf8(mainwindow::kMakerAddress));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialogkit::SetFixedDialogSize(this, mainwindow::kWidthUnits, mainwindow::kHeightUnits);
    setAcceptDrops(true);
    controls_ = dialogkit::BuildControls(this, mainwindow::Controls());
    sourceField_ = dialogkit::Get<QLineEdit>(controls_, IDC_SOURCE_PATH);
    outputField_ = dialogkit::Get<QLineEdit>(controls_, IDC_OUTPUT_PATH);
    sourcePath_ = PathField(sourceField_);
    outputPath_ = PathField(outputField_);
    playButton_ = dialogkit::Get<QPushButton>(controls_, IDC_PLAY);
    saveButton_ = dialogkit::Get<QPushButton>(controls_, IDC_SAVE);
    tabs_ = dialogkit::Get<QTabWidget>(controls_, IDC_EFFECT_TABS);
    // Files dropped anywhere, the fields included, go to the source field
    // through this window's handler rather than as URL text into a field.
    sourceField_->setAcceptDrops(false);
    outputField_->setAcceptDrops(false);

    connect(dialogkit::Get<QPushButton>(controls_, IDC_BROWSE_SOURCE), &QPushButton::clicked, this,
            [this] { BrowseInto(sourcePath_, FileChoiceKind::OpenSource); });
    connect(dialogkit::Get<QPushButton>(controls_, IDC_BROWSE_OUTPUT), &QPushButton::clicked, this,
            [this] { BrowseInto(outputPath_, FileChoiceKind::SaveOutput); });
    connect(playButton_, &QPushButton::clicked, this, &CMainDialog::OnPlayClicked);
    connect(saveButton_, &QPushButton::clicked, this, &CMainDialog::OnSaveClicked);
    connect(dialogkit::Get<QPushButton>(controls_, IDC_PLAYBACK_SETTINGS), &QPushButton::clicked, this,
            [this] { EditPlaybackSettings(this, playback_); });
    connect(dialogkit::Get<QPushButton>(controls_, IDC_SAVE_FORMAT), &QPushButton::clicked, this,
            [this] { EditSaveFormat(this, saveFormat_); });
    // Linux window managers own the title-bar menu: the about entry lives in
    // the context menu, and F1 opens it too.
    auto* aboutKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(aboutKey, &QShortcut::activated, this, &CMainDialog::ShowAbout);

    setWindowIcon(ApplicationIcon());
    new CloseSignals([this](int) { CloseForSignal(); }, this);
    StartEngine();
    CreateEffectTabs(pluginFolder);
    CreatePositionRow();
    CreateListeningKeys();
    ClearDefaultButtons();
    progressTimer_ = new QTimer(this);
    connect(progressTimer_, &QTimer::timeout, this, [this] {
        if (jobState_ == JOB_PLAYING || jobState_ == JOB_SAVING) RefreshControls();
    });
    progressTimer_->start(kProgressPeriodMs);
    RefreshControls();
    WarnIfNoPlaybackDevice();
}

CMainDialog::~CMainDialog() { ShutDown(); }

void CMainDialog::StartEngine() {
    try {
        // The worker posts its two end messages; they are handled on this
        // window's thread, between other events.
        engine_ = std::make_unique<CWaveFile>([this](int message, std::uintptr_t wParam, std::intptr_t lParam) {
            QMetaObject::invokeMethod(
                this, [this, message, wParam, lParam] { OnEngineMessage(message, wParam, lParam); },
                Qt::QueuedConnection);
        });
        engine_->SetWaitHook([this] { return KeepWaitingForEngine(); });
    } catch (const std::exception& error) {
        // Without a worker the window still opens; every job then fails to open.
        std::fprintf(stderr, "ZarevoPlusApp: the processing thread could not start: %s\n", error.what());
        engine_.reset();
    }
}

void CMainDialog::CreateEffectTabs(const std::string& pluginFolder) {
    plugins_.LoadFrom(pluginFolder, this);
    for (std::size_t i = 0; i < plugins_.Count(); ++i) {
        tabs_->addTab(new QWidget, QFile::decodeName(QByteArray::fromStdString(PluginCaption(plugins_.Path(i)))));
        if (QWidget* page = plugins_.Page(i)) page->setVisible(i == 0);
    }
    tabPageArea_ = tabs_->findChild<QStackedWidget*>();
    if (tabPageArea_) tabPageArea_->installEventFilter(this);
    PlacePanels();
    connect(tabs_, &QTabWidget::currentChanged, this, &CMainDialog::ShowSelectedPanel);
}

void CMainDialog::PlacePanels() {
    if (!tabPageArea_) return;
    // The panels are children of this window, not of the tab control: place
    // each exactly over the tab control's page area, above the control.
    const QRect area(tabPageArea_->mapTo(this, QPoint(0, 0)), tabPageArea_->size());
    for (std::size_t i = 0; i < plugins_.Count(); ++i) {
        if (QWidget* page = plugins_.Page(i)) {
            page->setGeometry(area);
            page->raise();
            page->update();
        }
    }
}

void CMainDialog::ShowSelectedPanel(int selected) {
    for (std::size_t i = 0; i < plugins_.Count(); ++i) {
        if (QWidget* page = plugins_.Page(i)) page->setVisible(static_cast<int>(i) == selected);
    }
}

bool CMainDialog::eventFilter(QObject* watched, QEvent* event) {
    // The tab control lays out its page area only once shown; follow it.
    if (watched == tabPageArea_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        PlacePanels();
    }
    return QDialog::eventFilter(watched, event);
}

void CMainDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    PlacePanels();
}

void CMainDialog::ClearDefaultButtons() {
    // In a dialog every push button is auto-default: the focused one, or
    // else the first, takes Enter. The panels' buttons are children of this
    // window too, so they are found here as well.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void CMainDialog::keyPressEvent(QKeyEvent* event) {
    // Keys that a control did not take arrive here, as in the classic
    // dialog manager: Enter is the dialog's OK, Escape its Cancel. Space on
    // a focused button is the button's own (it presses it).
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
            button->click();
        } else {
            accept();
        }
        return;
    case Qt::Key_Escape: reject(); return;
    default: QDialog::keyPressEvent(event);
    }
}

void CMainDialog::WarnIfNoPlaybackDevice() {
    if (WaveOutDeviceCount() == 0) ShowMessage(this, messages::kNoPlaybackDevice);
}

void CMainDialog::ShowAbout() {
    CAboutDialog about(this);
    about.exec();
}

void CMainDialog::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QString::fromUtf8(about::kMenuEntry), this, &CMainDialog::ShowAbout);
    menu.exec(event->globalPos());
}

void CMainDialog::BrowseInto(PathField& path, FileChoiceKind kind) {
    const QString folder = FolderForFileDialog(path.Text());
    if (!folder.isEmpty()) QDir::setCurrent(folder);  // a failure is of no consequence
    const QByteArray chosen = ChooseWaveFile(this, kind, folder);
    if (!chosen.isEmpty()) path.SetBytes(chosen);
}

void CMainDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainDialog::dropEvent(QDropEvent* event) {
    // Only the first dropped file counts; it replaces the source path even
    // while a job runs, which keeps the path it started with.
    // The drop's own bytes, not its text: a name that is not UTF-8 stays whole.
    const QByteArray path = DroppedPathBytes(*event->mimeData());
    if (path.isEmpty()) return;
    sourcePath_.SetBytes(path);
    event->acceptProposedAction();
}

namespace {

/// How long closing the window waits for a worker that a plug-in holds, in
/// all: the process ends within 5 s of the close even if the plug-in never
/// returns.
constexpr std::chrono::milliseconds kShutDownLimit{4000};
/// The same after a closing signal: a logout or a service manager gives a
/// program a few seconds before it kills it, and the save's file must be in
/// place by then.
constexpr std::chrono::milliseconds kSignalShutDownLimit{2000};

bool WorkerWasAbandoned = false;

/// Keeps the plug-in libraries mapped for the rest of the process (one more
/// reference each): an abandoned worker may still run their code.
void PinLibraries(const PluginHost& plugins) {
    for (std::size_t i = 0; i < plugins.Count(); ++i) {
        dlopen(plugins.Path(i).c_str(), RTLD_NOW | RTLD_NOLOAD);
    }
}

}  // namespace

bool CMainDialog::WorkerAbandoned() { return WorkerWasAbandoned; }

void CMainDialog::CloseForSignal() {
    closedBySignal_ = true;
    // A message box or another dialog open over the window runs its own
    // event loop, which would hold the window's close behind it.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog != this && dialog->isVisible()) dialog->reject();
    }
    done(QDialog::Rejected);
}

void CMainDialog::ShutDown() {
    if (shutDown_) return;
    shutDown_ = true;
    shutDownDeadline_ = std::chrono::steady_clock::now() + (closedBySignal_ ? kSignalShutDownLimit : kShutDownLimit);
    progressTimer_->stop();
    // A stop that ran out of time, or a job already stopping, is no failure
    // to show here: the worker is ended below.
    if (engine_ && jobState_ == JOB_PLAYING && !engine_->StopPlay() && engine_->State() == WS_PLAYING) {
        ShowMessage(this, messages::kStopPlayFailed);
    } else if (engine_ && jobState_ == JOB_SAVING && !engine_->StopSave() && engine_->State() == WS_SAVING) {
        ShowMessage(this, messages::kStopSaveFailed);
    }
    jobState_ = JOB_IDLE;
    plugins_.EndDialogs();
    // Rationale: a worker that does not end in time is held by a plug-in
    // that does not return; it cannot be joined, so the engine and the
    // libraries stay for the rest of the process, which ends at once (see
    // CMainApp::Run).
    const auto endWorker = [this] {
        if (engine_ && !engine_->QuitWorker()) {
            PinLibraries(plugins_);
            static_cast<void>(engine_.release());
            WorkerWasAbandoned = true;
        }
    };
    // A worker still inside a plug-in is ended before its code is unloaded.
    const int state = engine_ ? engine_->State() : WS_IDLE;
    if (state != WS_IDLE && state != WS_OPENED) endWorker();
    plugins_.Unload();
    // Rationale: the worker ends before this object does, so no end message
    // can be posted to a window that is being destroyed.
    endWorker();
    engine_.reset();
}
