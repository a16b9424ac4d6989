#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Finds the texts a program shows its user in its C++ source, so that a test can hold them
// against the manual. C++ is not parsed: the source is read as tokens (comments, character
// literals and preprocessor lines left out, adjacent string literals joined), and a string
// literal counts as (part of) a message when it stands in one of these places:
//
//  1. An argument of a call that shows a message: ShowMessage, ShowDetailedMessage,
//     AskYesNo (the operator console and the dialogs' own), StopAt and ShowLastUpdate (the
//     main window's last-update box), QMessageBox::warning/information/critical/question/
//     about, any Set...Text (SetSignTestResultText, the wait notice's SetText); and setText
//     or setToolTip called on an object whose name holds "message", "status", "summary",
//     "notice" or "device" (message labels, the status line).
//  2. The value of a constant named k...Text, k...Message, k...Question, k...Notice or
//     k...Note.
//  3. The value given (=, +=, push_back, emplace_back, append, an initialiser) to a
//     variable, field or list whose name ends in message(s), notice(s), question(s),
//     problem(s), reason(s) or note(s).
//  4. A return statement of a function whose name holds Message, Question, Notice, Note or
//     Problem.
//
// A constant named in such a place (kNoPortFound, say) stands for its value. A text is cut
// at its printf and QString::arg placeholders (%d, %02x, %1) and at line ends; each piece
// with at least three letters is a fragment that the manual must hold, with its blanks
// taken as single blanks. Pieces in the system's fixed form of a failure text, an operation
// and a system call ("Open(): tcsetattr() failed", "fstat()"), are left to the manual's
// description of that form.
namespace MessageScan {

struct Fragment {
    std::string text;     // with blanks and line ends as single blanks, trimmed
    std::string literal;  // the whole literal it comes from, as written in the source
    std::string file;
    int line = 0;
};

// The fragments of the messages in one source text.
std::vector<Fragment> Scan(const std::string &source, const std::string &file);
// The fragments of every .cpp and .h file below the folders; constants defined in one file
// resolve in every other.
std::vector<Fragment> ScanFolders(const std::vector<std::filesystem::path> &folders);

// Markdown as plain text for the search: code marks, emphasis and quote marks removed,
// blanks and line ends as single blanks.
std::string PlainText(const std::string &markdown);

}  // namespace MessageScan
