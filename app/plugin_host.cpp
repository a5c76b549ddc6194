// The panel side of the effect plug-ins: Start_Dialog as each is loaded,
// End_Dialog at shut-down, both guarded against plug-ins that throw.
#include "plugin_host.h"

#include <cstdio>
#include <exception>

namespace {

/// The text of the exception being handled, for the one line on stderr.
std::string CurrentExceptionText() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an exception that is not a std::exception";
    }
}

/// Hides the widgets a plug-in made under `parent` before it threw: a half-
/// made panel would otherwise show over the window with it. They are not
/// deleted, as the abandoned plug-in may still hold them.
void HideWidgetsAddedSince(QWidget& parent, const QObjectList& childrenBefore) {
    for (QObject* child : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !childrenBefore.contains(child)) widget->hide();
    }
}

}  // namespace

PluginHost::~PluginHost() {
    EndDialogs();
    Unload();
}

void PluginHost::LoadFrom(const std::string& folder, QWidget* parent) {
    plugins_.LoadFrom(folder, [this, parent](const LoadedPlugin& plugin) {
        void* page = nullptr;
        const QObjectList childrenBefore = parent ? parent->children() : QObjectList();
        try {
            page = plugin.startDialog(parent);
        } catch (...) {
            ReportPluginSkipped(plugin.path, "Start_Dialog threw: " + CurrentExceptionText());
            if (parent) HideWidgetsAddedSince(*parent, childrenBefore);
            return false;
        }
        paths_.push_back(plugin.path);
        endDialogs_.push_back(plugin.endDialog);
        pages_.emplace_back(static_cast<QWidget*>(page));
        return true;
    });
}

void PluginHost::EndDialogs() {
    if (dialogsEnded_) return;
    dialogsEnded_ = true;
    for (std::size_t i = 0; i < endDialogs_.size(); ++i) {
        if (!endDialogs_[i]) continue;
        try {
            endDialogs_[i]();
        } catch (...) {
            std::fprintf(stderr, "%s: plug-in %s: End_Dialog threw: %s\n", program_invocation_short_name,
                         paths_[i].c_str(), CurrentExceptionText().c_str());
        }
    }
    for (QPointer<QWidget>& page : pages_) {
        delete page.data();
    }
}

void PluginHost::Unload() { plugins_.Unload(); }

std::vector<const ZarevoParameterDescription*> PluginHost::Descriptions() const {
    std::vector<const ZarevoParameterDescription*> descriptions;
    for (std::size_t i = 0; i < plugins_.Count(); ++i) descriptions.push_back(plugins_.At(i).description);
    return descriptions;
}
