#include "ui/HelpFile.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace quillet::ui {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), lower);
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The character an entity stands for; the entity unchanged when it is not known.
std::string decodeEntities(const std::string& text) {
    struct Named {
        const char* name;
        std::uint32_t code;
    };
    static const Named named[] = {{"amp", '&'},     {"lt", '<'},      {"gt", '>'},     {"quot", '"'},
                                  {"apos", '\''},   {"nbsp", 0xA0},   {"trade", 0x2122}, {"reg", 0xAE},
                                  {"copy", 0xA9},   {"mdash", 0x2014}, {"ndash", 0x2013}, {"hellip", 0x2026},
                                  {"rarr", 0x2192}, {"larr", 0x2190}, {"times", 0xD7}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t end = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (end == std::string::npos || end - i > 10) {
            out += text[i];
            continue;
        }
        const std::string entity = text.substr(i + 1, end - i - 1);
        bool done = false;
        if (!entity.empty() && entity[0] == '#') {
            const bool hex = entity.size() > 1 && lower(entity[1]) == 'x';
            try {
                const unsigned long code = std::stoul(entity.substr(hex ? 2 : 1), nullptr, hex ? 16 : 10);
                if (code > 0 && code < 0x110000) {
                    appendUtf8(out, static_cast<std::uint32_t>(code));
                    done = true;
                }
            } catch (...) {
            }
        } else {
            for (const auto& n : named)
                if (entity == n.name) {
                    appendUtf8(out, n.code);
                    done = true;
                    break;
                }
        }
        if (done)
            i = end;
        else
            out += text[i];
    }
    return out;
}

std::string collapsed(const std::string& text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (isBlank(c)) {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

std::string withoutTags(const std::string& text) {
    std::string out;
    bool inTag = false;
    for (char c : text) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag)
            out += c;
    }
    return out;
}

// The value of an attribute of a tag's text ("a href=\"#x\""); empty when missing.
std::string attribute(const std::string& tag, const std::string& name) {
    const std::string lower = lowered(tag);
    std::size_t at = 0;
    while ((at = lower.find(name, at)) != std::string::npos) {
        const bool starts = at > 0 && isBlank(lower[at - 1]);
        std::size_t p = at + name.size();
        while (p < lower.size() && isBlank(lower[p]))
            ++p;
        if (starts && p < lower.size() && lower[p] == '=') {
            ++p;
            while (p < lower.size() && isBlank(lower[p]))
                ++p;
            if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
                const auto end = tag.find(tag[p], p + 1);
                return tag.substr(p + 1, end == std::string::npos ? std::string::npos : end - p - 1);
            }
            std::size_t end = p;
            while (end < tag.size() && !isBlank(tag[end]))
                ++end;
            return tag.substr(p, end - p);
        }
        at += name.size();
    }
    return {};
}

// Turns the HTML into lines; the state of one pass over the file.
class Renderer {
public:
    HelpText run(const std::string& html) {
        std::size_t i = 0;
        while (i < html.size()) {
            if (html.compare(i, 4, "<!--") == 0) {
                const auto end = html.find("-->", i + 4);
                i = end == std::string::npos ? html.size() : end + 3;
                continue;
            }
            if (html[i] == '<') {
                const auto end = html.find('>', i);
                if (end == std::string::npos)
                    break;
                i = tag(html, html.substr(i + 1, end - i - 1), end + 1);
                continue;
            }
            auto next = html.find('<', i);
            if (next == std::string::npos)
                next = html.size();
            text(decodeEntities(html.substr(i, next - i)));
            i = next;
        }
        while (!result_.text.empty() && result_.text.back() == '\n')
            result_.text.pop_back();
        result_.text += '\n';
        return std::move(result_);
    }

private:
    std::string& out() { return result_.text; }

    void newline() {
        while (!out().empty() && out().back() == ' ')
            out().pop_back();
        if (!out().empty() && out().back() != '\n')
            out() += '\n';
        blank_ = false;
    }
    void blankLine() {
        newline();
        if (out().size() >= 2 && out().compare(out().size() - 2, 2, "\n\n") != 0)
            out() += '\n';
    }

    void text(const std::string& t) {
        if (pre_) {
            out() += t;
            if (heading_)
                headingText_ += t;
            return;
        }
        for (char c : t) {
            if (isBlank(c)) {
                blank_ = true;
                continue;
            }
            const bool lineStart = out().empty() || out().back() == '\n' || out().back() == '\t';
            if (blank_ && !lineStart)
                out() += ' ';
            blank_ = false;
            out() += c;
        }
        if (heading_)
            headingText_ += t;
    }

    // Handles one tag; returns where reading goes on.
    std::size_t tag(const std::string& html, const std::string& body, std::size_t next) {
        const bool closing = !body.empty() && body[0] == '/';
        std::size_t n = closing ? 1 : 0;
        std::size_t e = n;
        while (e < body.size() && (std::isalnum(static_cast<unsigned char>(body[e]))))
            ++e;
        const std::string name = lowered(body.substr(n, e - n));
        if (!closing && (name == "head" || name == "style" || name == "script" || name == "title")) {
            const auto end = lowered(html.substr(next)).find("</" + name);
            if (end == std::string::npos)
                return html.size();
            const auto close = html.find('>', next + end);
            return close == std::string::npos ? html.size() : close + 1;
        }
        if (!closing) {
            std::string anchor = attribute(body, "id");
            if (anchor.empty() && name == "a")
                anchor = attribute(body, "name");
            if (!anchor.empty()) {
                const auto lineStart = out().rfind('\n');
                result_.anchors.emplace_back(anchor, lineStart == std::string::npos ? 0 : lineStart + 1);
                if (heading_ && headingAnchor_.empty())
                    headingAnchor_ = anchor;
            }
        }
        if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
            blankLine();
            if (!closing) {
                heading_ = true;
                headingText_.clear();
                headingAnchor_.clear();
            } else if (heading_) {
                heading_ = false;
                const int level = name[1] - '0';
                if (level <= 3)
                    result_.headings.push_back({level, collapsed(headingText_), headingAnchor_});
            }
        } else if (name == "p" || name == "div" || name == "table" || name == "blockquote" || name == "dl") {
            blankLine();
        } else if (name == "pre") {
            blankLine();
            pre_ = !closing;
        } else if (name == "ul" || name == "ol") {
            if (closing) {
                listDepth_ = std::max(0, listDepth_ - 1);
                if (listDepth_ == 0)
                    blankLine();
                else
                    newline();
            } else {
                if (listDepth_ == 0)
                    blankLine();
                ++listDepth_;
            }
        } else if (name == "li" && !closing) {
            newline();
            out() += std::string(2 * static_cast<std::size_t>(std::max(0, listDepth_ - 1)), ' ') + "- ";
        } else if (name == "tr") {
            // A row is a block: its first cell on a line, the others indented below it, so
            // that long cells never run into each other in a plain-text view.
            blankLine();
            firstCell_ = true;
        } else if ((name == "td" || name == "th") && !closing) {
            if (!firstCell_) {
                newline();
                out() += "    ";
            }
            firstCell_ = false;
            blank_ = false;
        } else if (name == "br" || name == "dt" || name == "dd") {
            newline();
        }
        return next;
    }

    HelpText result_;
    bool blank_ = false;
    bool pre_ = false;
    bool heading_ = false;
    bool firstCell_ = true;
    int listDepth_ = 0;
    std::string headingText_;
    std::string headingAnchor_;
};

} // namespace

std::string HelpTopicAnchor(int topic) {
    return "topic" + std::to_string(topic);
}

std::vector<HelpKeyword> ParseHelpIndex(const std::string& html) {
    std::vector<HelpKeyword> keywords;
    const auto start = html.find("<!-- keyword index -->");
    const auto end = start == std::string::npos ? start : html.find("<!-- end of keyword index -->", start);
    if (end == std::string::npos)
        return keywords;
    const std::string index = html.substr(start, end - start);
    std::size_t at = 0;
    while ((at = index.find("<a", at)) != std::string::npos) {
        const auto tagEnd = index.find('>', at);
        const auto close = tagEnd == std::string::npos ? tagEnd : index.find("</a>", tagEnd);
        if (close == std::string::npos)
            break;
        const std::string href = attribute(index.substr(at + 1, tagEnd - at - 1), "href");
        if (href.size() > 1 && href[0] == '#')
            keywords.push_back(
                {collapsed(decodeEntities(withoutTags(index.substr(tagEnd + 1, close - tagEnd - 1)))), href.substr(1)});
        at = close + 4;
    }
    return keywords;
}

std::vector<const HelpKeyword*> FilterHelpIndex(const std::vector<HelpKeyword>& keywords, const std::string& typed) {
    const std::string key = lowered(collapsed(typed));
    std::vector<const HelpKeyword*> starting, containing;
    for (const auto& k : keywords) {
        const auto at = lowered(k.text).find(key);
        if (at == 0)
            starting.push_back(&k);
        else if (at != std::string::npos)
            containing.push_back(&k);
    }
    starting.insert(starting.end(), containing.begin(), containing.end());
    return starting;
}

bool HasHelpAnchor(const std::string& html, const std::string& anchor) {
    return html.find("name=\"" + anchor + "\"") != std::string::npos ||
           html.find("id=\"" + anchor + "\"") != std::string::npos;
}

std::size_t HelpText::offsetOf(const std::string& anchor) const {
    for (const auto& [name, offset] : anchors)
        if (name == anchor)
            return offset;
    return std::string::npos;
}

HelpText RenderHelpText(const std::string& html) {
    return Renderer().run(html);
}

} // namespace quillet::ui
