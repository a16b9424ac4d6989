#include "nvram_image_commands.h"

#include <QDir>
#include <QFileDialog>

#include "nvram_transfer.h"
#include "operator_console.h"
#include "scoped_wait_cursor.h"
#include "sign_system.h"
#include "wait_dialog.h"

namespace {

// Runs a transfer with the wait notice: shown before the first command, repainted after
// every block, gone before anything is said about the outcome.
template <typename Transfer>
NvramTransfer::Result WithWaitNotice(QWidget *window, const char *text, Transfer transfer) {
    std::unique_ptr<WaitDialog> notice;
    const auto progress = [&](int done, int blocks) {
        if (!notice) {
            notice = std::make_unique<WaitDialog>(window);
            notice->ShowNow();
            notice->SetText(text);
        }
        notice->SetProgress(done, blocks);
    };
    ScopedWaitCursor wait;
    return transfer(progress);
}

}  // namespace

NvramImageCommands::NvramImageCommands(SignSystem &system, QWidget *window, FileChooser chooser)
    : m_system(system),
      m_window(window),
      m_choose(chooser ? std::move(chooser) : FileChooser(&NvramImageCommands::ChooseWithDialog)) {}

std::unique_ptr<QFileDialog> NvramImageCommands::MakeFileDialog(Choice choice) {
    const bool save = choice == Choice::Save;
    auto dialog = std::make_unique<QFileDialog>(nullptr, QString(), QDir::currentPath(), kFilter);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // An existing image is replaced without a question.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, save);
    dialog->setDefaultSuffix("nvr");
    dialog->selectFile(kPreset);
    return dialog;
}

QString NvramImageCommands::ChooseWithDialog(Choice choice) {
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(choice);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return {};
    }
    return dialog->selectedFiles().constFirst();
}

void NvramImageCommands::SaveNvramImage() {
    const QString path = m_choose(Choice::Save);
    if (path.isEmpty()) return;
    const NvramTransfer::Result result =
        WithWaitNotice(m_window, kDownloadingText, [&](const NvramTransfer::Progress &progress) {
            return NvramTransfer(m_system).Save(path.toStdString(), progress);
        });
    if (!result.message.empty()) m_system.Console().ShowMessage(result.message);
    if (result.outcome == NvramTransfer::Outcome::Complete) {
        // A save runs to its end without a word on the screen but the notice: the end is
        // told, with where the image went and how large it is.
        m_system.Console().ShowMessage(
            SavedText(path.toStdString(),
                      static_cast<std::size_t>(result.blocksDone) * NvramTransfer::kBlockSize));
    }
}

std::string NvramImageCommands::SavedText(const std::string &path, std::size_t bytes) {
    return "NVRAM image saved: " + path + " (" + std::to_string(bytes) + " bytes).";
}

bool NvramImageCommands::LoadNvramImage() {
    const QString path = m_choose(Choice::Load);
    if (path.isEmpty()) return false;
    const NvramTransfer::Result result =
        WithWaitNotice(m_window, kUploadingText, [&](const NvramTransfer::Progress &progress) {
            return NvramTransfer(m_system).Load(path.toStdString(), progress);
        });
    OperatorConsole &console = m_system.Console();
    if (!result.message.empty()) console.ShowMessage(result.message);
    if (result.commandsSent) {
        // Whatever the controller answered, its memory is no longer what this program read
        // at start-up.
        console.ShowMessage(kRestartText);
        m_system.RequestProgramEnd();
    }
    return true;
}
