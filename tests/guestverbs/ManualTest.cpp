// The manual page and the bash completion against `--help`: each command's options, named the
// same in all three.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {
using TOptions = std::set<std::string>;

const char* const kGuestVerbs[] = {"ls", "get", "put", "rm", "mkdir", "connect"};

std::string Run(const std::string& strCommand)
{
    std::string strOut;
    if (std::FILE* pPipe = ::popen(strCommand.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pPipe)) > 0;)
            strOut.append(buffer, n);
        ::pclose(pPipe);
    }
    return strOut;
}

TOptions OptionWords(const std::string& strText)
{
    static const std::regex option(R"((?:^|[\s,"])(--?[A-Za-z][A-Za-z0-9-]*))");
    TOptions options;
    for (std::sregex_iterator it(strText.begin(), strText.end(), option), end; it != end; ++it)
        options.insert((*it)[1]);
    return options;
}

// The options a --help lists: the first column of its lines that start with an option.
TOptions HelpOptions(const std::string& strArgs)
{
    TOptions options;
    std::istringstream help(Run(std::string(VANTRY_EXECUTABLE) + " " + strArgs + " --help"));
    for (std::string strLine; std::getline(help, strLine);) {
        if (strLine.rfind("  -", 0) != 0)
            continue;
        const std::size_t nGap = strLine.find("  ", 2);
        const TOptions words = OptionWords(strLine.substr(2, nGap == std::string::npos ? nGap : nGap - 2));
        options.insert(words.begin(), words.end());
    }
    return options;
}

// Section title -> the options its tagged paragraphs (.TP) name.
std::map<std::string, TOptions> ManualOptions()
{
    std::ifstream in(VANTRY_MANUAL);
    std::map<std::string, TOptions> sections;
    std::string strSection;
    bool bItem = false;
    for (std::string strLine; std::getline(in, strLine);) {
        for (std::size_t n; (n = strLine.find("\\-")) != std::string::npos;)
            strLine.replace(n, 2, "-");
        if (strLine.rfind(".SH ", 0) == 0 || strLine.rfind(".SS ", 0) == 0) {
            strSection = strLine.substr(4);
            strSection.erase(std::remove(strSection.begin(), strSection.end(), '"'), strSection.end());
        } else if (bItem) {
            const TOptions words = OptionWords(strLine);
            sections[strSection].insert(words.begin(), words.end());
        }
        bItem = strLine == ".TP";
    }
    return sections;
}

TOptions Completions(const std::string& strVerb, const std::string& strWord)
{
    const std::string strWords = "vantry " + (strVerb.empty() ? "" : strVerb + " ") + (strWord.empty() ? "''" : strWord);
    const std::string strScript = "source '" + std::string(VANTRY_COMPLETION) + "'; COMP_WORDS=(" + strWords +
                                  "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _vantry; printf '%s\\n' \"${COMPREPLY[@]}\"";
    std::istringstream out(Run("bash -c \"" + std::regex_replace(strScript, std::regex(R"(["$`\\])"), "\\$&") + "\""));
    TOptions words;
    for (std::string strLine; std::getline(out, strLine);) {
        if (!strLine.empty())
            words.insert(strLine);
    }
    return words;
}
} // namespace

TEST(ManualTest, ManualPageNamesTheOptionsOfEachHelp)
{
    const std::map<std::string, TOptions> manual = ManualOptions();
    ASSERT_TRUE(manual.count("GUEST OPTIONS")) << VANTRY_MANUAL;
    EXPECT_EQ(manual.at("OPTIONS"), HelpOptions(""));
    EXPECT_EQ(manual.at("vantry serve"), HelpOptions("serve"));
    for (const char* pszVerb : kGuestVerbs) {
        SCOPED_TRACE(pszVerb);
        TOptions documented = manual.at(std::string("vantry ") + pszVerb);
        documented.insert(manual.at("GUEST OPTIONS").begin(), manual.at("GUEST OPTIONS").end());
        const TOptions help = HelpOptions(pszVerb);
        EXPECT_GE(help.size(), 7u);
        EXPECT_EQ(documented, help);
    }
}

TEST(ManualTest, CompletionOffersEachCommandAndItsOptions)
{
    const TOptions commands = Completions("", "");
    for (const char* pszVerb : {"serve", "ls", "get", "put", "rm", "mkdir", "connect", "--version", "--help"})
        EXPECT_TRUE(commands.count(pszVerb)) << pszVerb;
    EXPECT_EQ(Completions("serve", "-"), HelpOptions("serve"));
    for (const char* pszVerb : kGuestVerbs)
        EXPECT_EQ(Completions(pszVerb, "-"), HelpOptions(pszVerb)) << pszVerb;
    EXPECT_EQ(Completions("get --replace", ""), (TOptions{"all", "ask", "none"}));
}
