#pragma once

#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

class QFileDialog;
class QWidget;
class SignSystem;

// File > Save NVRAM Image and File > Load NVRAM Image on the workstation, and the load the
// controller's "NVRAM must be updated" status offers: the file choice, the wait notice
// with its progress, the messages, and after a load the program's end.
class NvramImageCommands {
public:
    enum class Choice { Save, Load };
    // Asks for a file; an empty text when the user cancelled. Tests put a script here.
    using FileChooser = std::function<QString(Choice)>;

    static constexpr const char *kFilter = "Lumivane Workstation NVRAM Image Files (*.nvr)";
    static constexpr const char *kPreset = "*.nvr";
    static constexpr const char *kDownloadingText = "Please Wait...NVRAM Image Downloading";
    static constexpr const char *kUploadingText = "Please Wait...NVRAM Image Uploading";
    static constexpr const char *kRestartText =
        "VOXA must be restarted to comply with NVRAM changes.\nPress OK to exit.";

    // window owns the wait notice; an empty chooser asks with the file dialog.
    NvramImageCommands(SignSystem &system, QWidget *window, FileChooser chooser = {});

    // Ends with SavedText() when the image was written.
    void SaveNvramImage();
    // "NVRAM image saved: FILE (N bytes)."
    static std::string SavedText(const std::string &path, std::size_t bytes);
    // False when no file was chosen; true otherwise, also when the file was refused. A
    // load that reached the controller ends with the restart message and asks for the
    // program's end, which comes once the running handlers have returned.
    bool LoadNvramImage();

    // The file dialog as either choice shows it: our own (not the desktop's), so it looks
    // and behaves the same everywhere and never changes the current directory, without
    // an owner, starting in the current directory with "*.nvr" in its name field.
    static std::unique_ptr<QFileDialog> MakeFileDialog(Choice choice);
    static QString ChooseWithDialog(Choice choice);

private:
    SignSystem &m_system;
    QWidget *m_window;
    FileChooser m_choose;
};
