#include "services/ChatText.h"

#include "common/Html.h"
#include "common/Text.h"
#include "platform/FileTime.h"
#include "platform/InternetTime.h"
#include "server/ServerIdentity.h"

namespace sarvo {
namespace {

constexpr std::string_view kLinkSchemes[] = {"http:", "https:"};

constexpr char kWelcomeHeadStart[] =
    "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
    "<STYLE TYPE=\"TEXT/CSS\">\r\n"
    "BODY{font: x-small Verdana, Arial, Helvetica, sans-serif}\r\n"
    "P{color:#ffffff;margin-bottom:12}\r\n"
    "A{color:#ff0000}\r\n"
    "LI{color:#ffffff}\r\n"
    "B{color:#00BFFF}\r\n"
    "</STYLE>\r\n</HEAD>\r\n<BODY bgColor=\"#000000\">\r\n"
    "<h3 style=\"color:#00BFFF\">Welcome to <a href=\"";
// The maker's web address goes between the two.
constexpr char kWelcomeHeadEnd[] =
    "\">Sarvo</a> Chat Room!</h3>\r\n"
    "<hr size=1 color=\"#ffff00\">\r\n<ul>\r\n"
    "<li><b>Talk: </b>Type text in the editbox below and strike Enter to send.</li>\r\n"
    "<li><b>Private Talk: </b>Click his/her name on the left pane.</li>\r\n"
    "<li><b>Change Name: </b><font color=\"#FFA500\">!NAME=</font>new name</li>\r\n"
    "<li><b>Call a Member's Attention: </b><font color=\"#FFA500\">!WAKEUP</font>member's name</li>\r\n"
    "<li><b>Wake up the Host: </b>Select [All], type <font color=\"#FFA500\">!WAKEUP</font>, strike "
    "[Enter].</li>\r\n"
    "<li><b>Welcome Message: </b><font color=\"#FFA500\">!WELCOME=</font> message</li>\r\n"
    "<li><b>Kick Member: </b><font color=\"#FFA500\">!KICK</font> member's name</li>\r\n"
    "<li><b>Block Member: </b><font color=\"#FFA500\">!BLOCK</font> member's name</li>\r\n"
    "</ul>\r\n<hr size=1 color=\"#ffff00\">\r\n";

constexpr char kRedLabelStyle[] = " style=\"color:#ff0000\"";

bool EndsLink(char c) {
    return c == '\0' || c == '\r' || c == '\n' || c == '\t' || c == ' ';
}

size_t LinkSchemeAt(std::string_view text) {
    for (std::string_view scheme : kLinkSchemes) {
        if (StartsWithIgnoreCase(text, scheme))
            return scheme.size();
    }
    return 0;
}

// The address as an href value: the bytes that would close the attribute or the tag are
// percent-encoded, everything else stays as the visitor typed it.
void AppendHref(std::string& out, std::string_view link) {
    for (char c : link) {
        switch (c) {
            case '"':
                out += "%22";
                break;
            case '\'':
                out += "%27";
                break;
            case '<':
                out += "%3C";
                break;
            case '>':
                out += "%3E";
                break;
            default:
                out += c;
        }
    }
}

}  // namespace

void FormatChatText(std::string_view text, std::string& out) {
    // The room's texts were C strings: nothing after a NUL is part of them.
    text = text.substr(0, text.find('\0'));
    size_t runStart = 0;
    size_t position = 0;
    auto flushRun = [&] { AppendHtmlEscaped(out, text.substr(runStart, position - runStart)); };
    while (position < text.size()) {
        if (size_t scheme = LinkSchemeAt(text.substr(position)); scheme > 0) {
            flushRun();
            size_t end = position + scheme;
            while (end < text.size() && !EndsLink(text[end]))
                ++end;
            const std::string_view link = text.substr(position, end - position);
            out += "<a href=\"";
            AppendHref(out, link);
            out += "\" target=\"_blank\">";
            AppendHtmlEscaped(out, link);
            out += "</a>";
            position = runStart = end;
            continue;
        }
        const char c = text[position];
        if (c == '\n' || c == '\r') {
            flushRun();
            if (c == '\n')
                out += "<br>";
            runStart = ++position;
            continue;
        }
        ++position;
    }
    flushRun();
}

std::string FormatChatText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    FormatChatText(text, out);
    return out;
}

std::string ComposeChatLine(uint32_t lineId, std::string_view label, std::string_view html,
                            std::string_view script) {
    const std::string id = std::to_string(lineId);
    const bool roomLabel = EqualsIgnoreCase(label, kRoomLabel) || EqualsIgnoreCase(label, kReservedRoomName);
    std::string line;
    line.reserve(html.size() + label.size() + script.size() + 128);
    line += "<p id=\"t";
    line += id;
    line += "\"><b";
    if (roomLabel)
        line += kRedLabelStyle;
    line += '>';
    AppendHtmlEscaped(line, label);
    line += ": </b>";
    line += html;
    line += "</p><script LANGUAGE=JAVASCRIPT>t";
    line += id;
    line += ".scrollIntoView(true);";
    line += script;
    line += "</SCRIPT>\r\n";
    return line;
}

std::string ComposeChatTitle(std::string_view name) {
    std::string script = "<script LANGUAGE=JAVASCRIPT>parent.document.title=\"";
    // Names set by the room cannot hold a quote or a backslash; escaping keeps any other one inert.
    AppendHtmlEscaped(script, name);
    script += " --- Sarvo Chat Room\";</SCRIPT>\r\n";
    return script;
}

std::string NameInFont(std::string_view name) {
    std::string text = kMemberNameFont;
    text += name;
    text += "</font>";
    return text;
}

std::string ComposeChatStreamHead() {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nServer: " + ServerIdentification() +
           "\r\nTransfer-Encoding: chunked\r\nDate: " + InternetTimeFromSystemTime(GetSystemTime()) +
           "\r\n\r\n";
}

const std::string& ChatWelcomeHead() {
    static const std::string head = std::string(kWelcomeHeadStart) + kMakerWebAddress + kWelcomeHeadEnd;
    return head;
}

std::string ComposeWelcomeMessage(std::string_view message) {
    const std::string trimmed = TrimmedCopy(message);
    if (trimmed.empty())
        return std::string();
    return "<p style=\"color:#FFA500\">" + FormatChatText(trimmed) +
           "</p>\r\n<hr size=1 color=\"#ffff00\">\r\n";
}

std::string ComposeReloadList() {
    return std::string("<script LANGUAGE=JAVASCRIPT>") + kReloadListScript + "</script>\r\n";
}

}  // namespace sarvo
