#include "display_check.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler g_previous = nullptr;
std::string g_display;

// The word after option in the arguments, if it is there.
std::optional<std::string> ValueOf(const std::vector<std::string> &arguments,
                                   const std::string &option) {
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == option) return arguments[i + 1];
    }
    return std::nullopt;
}

std::string Variable(const DisplayCheck::Environment &environment, const char *name) {
    const char *value = environment(name);
    return value == nullptr ? std::string() : std::string(value);
}

void OnQtMessage(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (type == QtFatalMsg && text.contains("no Qt platform plugin could be initialized")) {
        const std::string message = DisplayCheck::NotOpened(g_display);
        std::fputs(message.c_str(), stderr);
        std::fflush(stderr);
        std::_Exit(DisplayCheck::kNoDisplay);
    }
    // Qt's lines on the way to that end ("could not load the platform plugin even though
    // it was found") say nothing the message above does not say better.
    const QString category = context.category != nullptr ? context.category : "";
    if (category.startsWith("qt.qpa.plugin") ||
        (category.startsWith("qt.qpa.xcb") && text.startsWith("could not connect to display"))) {
        return;
    }
    if (g_previous != nullptr) g_previous(type, context, text);
}

}  // namespace

std::string DisplayCheck::Named(const std::vector<std::string> &arguments,
                                const Environment &environment) {
    if (const auto display = ValueOf(arguments, "-display")) return *display;
    const std::string x = Variable(environment, "DISPLAY");
    return x.empty() ? Variable(environment, "WAYLAND_DISPLAY") : x;
}

std::optional<std::string> DisplayCheck::Missing(const std::vector<std::string> &arguments,
                                                 const Environment &environment) {
    std::string platform =
        ValueOf(arguments, "-platform").value_or(Variable(environment, "QT_QPA_PLATFORM"));
    // Only the desktop's window systems need a display; "xcb:wayland" and the like name
    // several to try.
    const bool desktop =
        platform.empty() || platform.starts_with("xcb") || platform.starts_with("wayland");
    if (!desktop || !Named(arguments, environment).empty()) return std::nullopt;
    // Wayland finds its display without the variable when the platform is asked for by
    // name.
    if (platform.starts_with("wayland")) return std::nullopt;
    return "voxa needs a graphical display: DISPLAY (or WAYLAND_DISPLAY) is not set.\n"
           "Start it on the desktop, or through ssh -X; voxa-ctl runs the controller's "
           "commands without a display.\n";
}

std::string DisplayCheck::NotOpened(const std::string &display) {
    return "voxa needs a graphical display: the display \"" + display +
           "\" could not be opened.\nCheck that it is running and that this user may use it "
           "(xauth); voxa-ctl runs the controller's commands without a display.\n";
}

DisplayCheck::Guard::Guard(std::string display) {
    g_display = std::move(display);
    g_previous = qInstallMessageHandler(OnQtMessage);
}

DisplayCheck::Guard::~Guard() {
    qInstallMessageHandler(g_previous);
    g_previous = nullptr;
}
