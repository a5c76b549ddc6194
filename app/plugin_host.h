// The effect plug-ins of the main window: the loaded set (the chain handed
// to every job) and the panel each plug-in created in it. Filled once at
// start-up, emptied at shut-down.
#pragma once

#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "plugin_set.h"

class PluginHost {
public:
    PluginHost() = default;
    /// Ends the panels and unloads the libraries if that has not happened yet.
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    /// Loads the plug-ins of `folder` (see PluginSet) and lets each create its
    /// panel as a child of `parent` (Start_Dialog) right after it is loaded.
    /// A plug-in whose Start_Dialog throws is left out, with the reason on
    /// stderr, and the widgets it made under `parent` are hidden. Call once.
    void LoadFrom(const std::string& folder, QWidget* parent);

    /// The dlopen handles of the kept plug-ins, in tab and chain order.
    const std::vector<void*>& Modules() const { return plugins_.Modules(); }
    std::size_t Count() const { return pages_.size(); }
    /// Each kept plug-in's parameter description, in chain order; null for
    /// a plug-in that has none.
    std::vector<const ZarevoParameterDescription*> Descriptions() const;
    const std::string& Path(std::size_t index) const { return paths_[index]; }
    /// The panel plug-in `index` created; null when it returned none or it is gone.
    QWidget* Page(std::size_t index) const { return pages_[index]; }

    /// Calls every End_Dialog in chain order (a library without one is
    /// skipped, one that throws is reported), then deletes any panel still
    /// alive: its code is about to be unloaded, so it must not outlive the
    /// library.
    void EndDialogs();
    /// Unloads every library in chain order and empties the module list.
    void Unload();

private:
    PluginSet plugins_;
    std::vector<std::string> paths_;
    std::vector<ZarevoEndDialogFn> endDialogs_;  // null: the library has none
    std::vector<QPointer<QWidget>> pages_;
    bool dialogsEnded_ = false;
};
