// The loaded effect plug-ins of the main window: their library handles (the
// chain handed to every job), their paths, their two panel entry points and
// the panels they created. Filled once at start-up, emptied at shut-down.
#pragma once

#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "zarevo_plugin.h"

class PluginHost {
public:
    PluginHost() = default;
    /// Ends the panels and unloads the libraries if that has not happened yet.
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    /// Loads every "Zarevo_*.so" of `folder` in byte-wise name order and lets
    /// each create its panel as a child of `parent` (Start_Dialog). A library
    /// that cannot be loaded, lacks Start_Dialog, or lacks one of the four
    /// processing entry points is unloaded and skipped, with its path and the
    /// reason on stderr. Call once.
    void LoadFrom(const std::string& folder, QWidget* parent);

    /// The dlopen handles of the kept plug-ins, in tab and chain order.
    const std::vector<void*>& Modules() const { return modules_; }
    std::size_t Count() const { return plugins_.size(); }
    const std::string& Path(std::size_t index) const { return plugins_[index].path; }
    /// The panel plug-in `index` created; null when it returned none or it is gone.
    QWidget* Page(std::size_t index) const { return plugins_[index].page; }

    /// Calls every End_Dialog in chain order (a library without one is
    /// skipped), then deletes any panel still alive: its code is about to be
    /// unloaded, so it must not outlive the library.
    void EndDialogs();
    /// Unloads every library in chain order and empties the module list.
    void Unload();

private:
    struct Plugin {
        std::string path;
        ZarevoStartDialogFn startDialog = nullptr;
        ZarevoEndDialogFn endDialog = nullptr;  // null: the library has none
        QPointer<QWidget> page;
    };

    std::vector<void*> modules_;
    std::vector<Plugin> plugins_;
    bool dialogsEnded_ = false;
};
