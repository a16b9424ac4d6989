#include "message_scan.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace MessageScan {
namespace {

struct Token {
    enum class Kind { Identifier, String, Punctuation, Other };
    Kind kind;
    std::string text;    // a string literal's decoded value
    std::string source;  // a string literal as written
    int line;
};

bool IsIdentifierStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentifierChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The value of an ordinary string literal's body (escapes resolved).
std::string Decode(const std::string &body) {
    std::string out;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '\\' || i + 1 == body.size()) {
            out += body[i];
            continue;
        }
        const char e = body[++i];
        switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'x': {
                int value = 0;
                while (i + 1 < body.size() &&
                       std::isxdigit(static_cast<unsigned char>(body[i + 1])))
                    value = value * 16 + std::stoi(std::string(1, body[++i]), nullptr, 16);
                out += static_cast<char>(value);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0';
                    for (int n = 0;
                         n < 2 && i + 1 < body.size() && body[i + 1] >= '0' && body[i + 1] <= '7';
                         ++n)
                        value = value * 8 + (body[++i] - '0');
                    out += static_cast<char>(value);
                } else {
                    out += e;  // \" \' \\ \?
                }
        }
    }
    return out;
}

std::vector<Token> Tokenize(const std::string &s) {
    std::vector<Token> tokens;
    int line = 1;
    bool lineStart = true;
    std::size_t i = 0;
    const auto count = [&](std::size_t from, std::size_t to) {
        line += static_cast<int>(std::count(s.begin() + static_cast<long>(from),
                                            s.begin() + static_cast<long>(to), '\n'));
    };
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\n') {
            ++line;
            ++i;
            lineStart = true;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (c == '#' && lineStart) {  // a preprocessor line, with its continuations
            while (i < s.size() && !(s[i] == '\n' && s[i - 1] != '\\')) {
                if (s[i] == '\n') ++line;
                ++i;
            }
            continue;
        }
        lineStart = false;
        if (s.compare(i, 2, "//") == 0) {
            while (i < s.size() && s[i] != '\n') ++i;
            continue;
        }
        if (s.compare(i, 2, "/*") == 0) {
            const std::size_t end = s.find("*/", i + 2);
            const std::size_t stop = end == std::string::npos ? s.size() : end + 2;
            count(i, stop);
            i = stop;
            continue;
        }
        if (IsIdentifierStart(c)) {
            std::size_t j = i;
            while (j < s.size() && IsIdentifierChar(s[j])) ++j;
            const std::string word = s.substr(i, j - i);
            // A raw string literal, with or without an encoding prefix.
            if (j < s.size() && s[j] == '"' &&
                (word == "R" || word == "u8R" || word == "LR" || word == "uR" || word == "UR")) {
                const std::size_t open = s.find('(', j);
                const std::string delimiter = s.substr(j + 1, open - j - 1);
                const std::string close = ")" + delimiter + "\"";
                const std::size_t end = s.find(close, open);
                const std::size_t stop = end == std::string::npos ? s.size() : end + close.size();
                tokens.push_back({Token::Kind::String, s.substr(open + 1, end - open - 1),
                                  s.substr(i, stop - i), line});
                count(i, stop);
                i = stop;
                continue;
            }
            if (j < s.size() && s[j] == '"' &&
                (word == "u8" || word == "L" || word == "u" || word == "U")) {
                i = j;  // the prefix of an ordinary literal
                continue;
            }
            tokens.push_back({Token::Kind::Identifier, word, word, line});
            i = j;
            continue;
        }
        if (c == '"') {
            std::size_t j = i + 1;
            while (j < s.size() && s[j] != '"') j += s[j] == '\\' ? 2 : 1;
            const std::string body = s.substr(i + 1, j - i - 1);
            tokens.push_back({Token::Kind::String, Decode(body), s.substr(i, j + 1 - i), line});
            i = j + 1;
            continue;
        }
        if (c == '\'') {
            // A character literal, or a digit separator (1'000), which follows a digit.
            if (i > 0 && std::isalnum(static_cast<unsigned char>(s[i - 1]))) {
                ++i;
                continue;
            }
            std::size_t j = i + 1;
            while (j < s.size() && s[j] != '\'') j += s[j] == '\\' ? 2 : 1;
            tokens.push_back({Token::Kind::Other, s.substr(i, j + 1 - i), "", line});
            i = j + 1;
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(c))) {
            std::size_t j = i;
            while (j < s.size() && (IsIdentifierChar(s[j]) || s[j] == '.')) ++j;
            tokens.push_back({Token::Kind::Other, s.substr(i, j - i), "", line});
            i = j;
            continue;
        }
        static const char *const kPairs[] = {"::", "->", "+=", "==", "!=", "<=", ">=", "&&", "||"};
        std::string punctuation(1, c);
        for (const char *pair : kPairs) {
            if (s.compare(i, 2, pair) == 0) punctuation = pair;
        }
        tokens.push_back({Token::Kind::Punctuation, punctuation, punctuation, line});
        i += punctuation.size();
    }
    // Adjacent literals are one.
    std::vector<Token> joined;
    for (Token &token : tokens) {
        if (token.kind == Token::Kind::String && !joined.empty() &&
            joined.back().kind == Token::Kind::String) {
            joined.back().text += token.text;
            joined.back().source += " " + token.source;
        } else {
            joined.push_back(std::move(token));
        }
    }
    return joined;
}

bool Is(const std::vector<Token> &t, std::size_t i, const char *text) {
    return i < t.size() && t[i].kind != Token::Kind::String && t[i].text == text;
}

// The index of the token that closes the bracket opened at open, or the end.
std::size_t Closing(const std::vector<Token> &t, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < t.size(); ++i) {
        if (Is(t, i, "(") || Is(t, i, "[") || Is(t, i, "{")) ++depth;
        if (Is(t, i, ")") || Is(t, i, "]") || Is(t, i, "}")) {
            if (--depth == 0) return i;
        }
    }
    return t.size();
}

// The index of the end of an expression that starts at from: the first ';' or ',' outside
// brackets, or the bracket that closes around it.
std::size_t ExpressionEnd(const std::vector<Token> &t, std::size_t from) {
    int depth = 0;
    for (std::size_t i = from; i < t.size(); ++i) {
        if (Is(t, i, "(") || Is(t, i, "[") || Is(t, i, "{")) ++depth;
        if (Is(t, i, ")") || Is(t, i, "]") || Is(t, i, "}")) {
            if (depth == 0) return i;
            --depth;
        }
        if (depth == 0 && (Is(t, i, ";") || Is(t, i, ","))) return i;
    }
    return t.size();
}

bool EndsWithAny(const std::string &name, std::initializer_list<const char *> endings) {
    const std::string lower = Lower(name);
    return std::any_of(endings.begin(), endings.end(), [&lower](const char *ending) {
        const std::string e = ending;
        return lower.size() >= e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0;
    });
}

bool ContainsAny(const std::string &name, std::initializer_list<const char *> words) {
    const std::string lower = Lower(name);
    return std::any_of(words.begin(), words.end(), [&lower](const char *word) {
        return lower.find(word) != std::string::npos;
    });
}

bool IsMessageConstant(const std::string &name) {
    static const std::regex pattern("k[A-Z0-9]\\w*(Text|Message|Question|Notice|Note)");
    return std::regex_match(name, pattern);
}

bool IsMessageVariable(const std::string &name) {
    return EndsWithAny(name, {"message", "messages", "notice", "notices", "question", "questions",
                              "problem", "problems", "reason", "reasons", "note", "notes"});
}

bool IsMessageFunction(const std::string &name) {
    return ContainsAny(name, {"message", "question", "notice", "note", "problem"});
}

using Constants = std::map<std::string, Token>;

// String constants: kName = "..." (one literal, nothing else).
void CollectConstants(const std::vector<Token> &t, Constants &constants) {
    for (std::size_t i = 0; i + 3 < t.size(); ++i) {
        if (t[i].kind == Token::Kind::Identifier && t[i].text.size() > 1 && t[i].text[0] == 'k' &&
            std::isupper(static_cast<unsigned char>(t[i].text[1])) && Is(t, i + 1, "=") &&
            t[i + 2].kind == Token::Kind::String && (Is(t, i + 3, ";") || Is(t, i + 3, ","))) {
            constants[t[i].text] = t[i + 2];
        }
    }
}

void AddFragments(const Token &literal, const std::string &file, std::vector<Fragment> &out) {
    static const std::regex placeholder(
        "%[-+ #0]*(\\d+|\\*)?(\\.\\d+)?(hh|h|ll|l|z)?[diouxXfFeEgGcsp]|%\\d|\n");
    std::string text = literal.text;
    text = std::regex_replace(text, std::regex("%%"), "%");
    for (std::sregex_token_iterator piece(text.begin(), text.end(), placeholder, -1), end;
         piece != end; ++piece) {
        std::string fragment = std::regex_replace(piece->str(), std::regex("\\s+"), " ");
        const auto first = fragment.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        fragment = fragment.substr(first, fragment.find_last_not_of(' ') - first + 1);
        const auto letters = std::count_if(fragment.begin(), fragment.end(), [](char c) {
            return std::isalpha(static_cast<unsigned char>(c));
        });
        // The failure texts of the system's fixed form, "Open(): tcsetattr() failed: (5)
        // Input/output error", name an operation and a system call: the manual tells the
        // form once, not every call.
        static const std::regex diagnostic(
            "(Error )?[A-Za-z_]\\w*\\(\\)(:| failed).*|[A-Za-z_]\\w*\\(\\)");
        if (letters >= 3 && !std::regex_match(fragment, diagnostic))
            out.push_back({fragment, literal.source, file, literal.line});
    }
}

// The literals of the tokens from..to, and the values of the string constants they name.
void TakeRange(const std::vector<Token> &t, std::size_t from, std::size_t to,
               const Constants &constants, const std::string &file, std::vector<Fragment> &out) {
    for (std::size_t i = from; i < to && i < t.size(); ++i) {
        if (t[i].kind == Token::Kind::String) {
            AddFragments(t[i], file, out);
        } else if (t[i].kind == Token::Kind::Identifier) {
            if (const auto found = constants.find(t[i].text); found != constants.end()) {
                Token named = found->second;
                named.line = t[i].line;
                AddFragments(named, file, out);
            }
        }
    }
}

const std::set<std::string> kShowingCalls = {"ShowMessage", "ShowDetailedMessage", "AskYesNo",
                                             "StopAt", "ShowLastUpdate"};
const std::set<std::string> kMessageBoxCalls = {"warning", "information", "critical", "question",
                                                "about"};
const std::set<std::string> kLabelCalls = {"setText", "SetText", "setToolTip"};
const std::set<std::string> kListCalls = {"push_back", "emplace_back", "append"};
const std::set<std::string> kControl = {"if", "for", "while", "switch", "catch", "return"};

void ScanTokens(const std::vector<Token> &t, const Constants &constants, const std::string &file,
                std::vector<Fragment> &out) {
    // The function each open brace belongs to ("" outside functions); control statements,
    // lambdas and other braces belong to the function around them.
    std::vector<std::string> scopes{""};
    for (std::size_t i = 0; i < t.size(); ++i) {
        const Token &token = t[i];
        if (Is(t, i, "{")) {
            std::string name = scopes.back();
            std::size_t k = i;
            while (k > 0 && t[k - 1].kind == Token::Kind::Identifier &&
                   (t[k - 1].text == "const" || t[k - 1].text == "override" ||
                    t[k - 1].text == "noexcept" || t[k - 1].text == "final" ||
                    t[k - 1].text == "mutable"))
                --k;
            if (k > 0 && Is(t, k - 1, ")")) {
                int depth = 0;
                std::size_t open = k - 1;
                for (;; --open) {
                    if (Is(t, open, ")")) ++depth;
                    if (Is(t, open, "(") && --depth == 0) break;
                    if (open == 0) break;
                }
                if (open > 0 && t[open - 1].kind == Token::Kind::Identifier &&
                    kControl.count(t[open - 1].text) == 0) {
                    name = t[open - 1].text;
                }
            }
            scopes.push_back(name);
            continue;
        }
        if (Is(t, i, "}")) {
            if (scopes.size() > 1) scopes.pop_back();
            continue;
        }
        if (token.kind == Token::Kind::Identifier) {
            const std::string &name = token.text;
            // 1. Calls that show a message.
            if (Is(t, i + 1, "(")) {
                const bool receiverNamed =
                    i >= 2 && (Is(t, i - 1, "->") || Is(t, i - 1, ".")) &&
                    t[i - 2].kind == Token::Kind::Identifier &&
                    ContainsAny(t[i - 2].text,
                                {"message", "status", "summary", "notice", "device"});
                const bool messageBox =
                    i >= 2 && Is(t, i - 1, "::") && t[i - 2].text == "QMessageBox";
                static const std::regex setter("Set\\w*Text");
                if (kShowingCalls.count(name) || std::regex_match(name, setter) ||
                    (kLabelCalls.count(name) && receiverNamed) ||
                    (kMessageBoxCalls.count(name) && messageBox)) {
                    TakeRange(t, i + 2, Closing(t, i + 1), constants, file, out);
                }
            }
            // 2. Message constants.
            if (IsMessageConstant(name) && Is(t, i + 1, "=")) {
                TakeRange(t, i + 2, ExpressionEnd(t, i + 2), constants, file, out);
            }
            // 3. Values given to message variables and lists.
            if (IsMessageVariable(name)) {
                if (Is(t, i + 1, "=") || Is(t, i + 1, "+=")) {
                    TakeRange(t, i + 2, ExpressionEnd(t, i + 2), constants, file, out);
                } else if ((Is(t, i + 1, ".") || Is(t, i + 1, "->")) && i + 3 < t.size() &&
                           kListCalls.count(t[i + 2].text) && Is(t, i + 3, "(")) {
                    TakeRange(t, i + 4, Closing(t, i + 3), constants, file, out);
                } else if (i > 0 && t[i - 1].kind == Token::Kind::Identifier &&
                           (Is(t, i + 1, "(") || Is(t, i + 1, "{")) &&
                           t[i + 2].kind == Token::Kind::String) {
                    // An initialiser: std::string notice("...").
                    TakeRange(t, i + 2, Closing(t, i + 1), constants, file, out);
                }
            }
            // 4. What message functions return.
            if (name == "return" && IsMessageFunction(scopes.back())) {
                TakeRange(t, i + 1, ExpressionEnd(t, i + 1), constants, file, out);
            }
        }
    }
}

std::string ReadFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Deduplicate(std::vector<Fragment> &fragments) {
    std::set<std::tuple<std::string, std::string, int>> seen;
    std::vector<Fragment> kept;
    for (Fragment &fragment : fragments) {
        if (seen.insert({fragment.text, fragment.file, fragment.line}).second)
            kept.push_back(std::move(fragment));
    }
    fragments = std::move(kept);
}

}  // namespace

std::vector<Fragment> Scan(const std::string &source, const std::string &file) {
    const std::vector<Token> tokens = Tokenize(source);
    Constants constants;
    CollectConstants(tokens, constants);
    std::vector<Fragment> fragments;
    ScanTokens(tokens, constants, file, fragments);
    Deduplicate(fragments);
    return fragments;
}

std::vector<Fragment> ScanFolders(const std::vector<std::filesystem::path> &folders) {
    std::vector<std::pair<std::string, std::vector<Token>>> files;
    for (const std::filesystem::path &folder : folders) {
        for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
            const std::string extension = entry.path().extension().string();
            if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h")) continue;
            files.emplace_back(entry.path().string(), Tokenize(ReadFile(entry.path())));
        }
    }
    std::sort(files.begin(), files.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    Constants constants;
    for (const auto &[file, tokens] : files) CollectConstants(tokens, constants);
    std::vector<Fragment> fragments;
    for (const auto &[file, tokens] : files) ScanTokens(tokens, constants, file, fragments);
    Deduplicate(fragments);
    return fragments;
}

std::string PlainText(const std::string &markdown) {
    std::string text = std::regex_replace(markdown, std::regex("(^|\n)[ \t]*>[ \t]?"), "$1");
    text = std::regex_replace(text, std::regex("\\*\\*|`|\\\\(?=[^a-zA-Z0-9])"), "");
    text = std::regex_replace(text, std::regex("\\s+"), " ");
    return text;
}

}  // namespace MessageScan
