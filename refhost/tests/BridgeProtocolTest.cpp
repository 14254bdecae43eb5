#include "webview/engine/BridgeProtocol.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "webview/engine/BridgeLine.h"
#include "webview/engine/BridgeLineReader.h"

namespace refhost {
namespace {

std::vector<std::string> fileLines(const char* name) {
    std::ifstream in(std::string("Z:") + HALVET_REFHOST_BRIDGE_DIR + "/" + name);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// (verb, field) -> position, as protocol.txt defines the lines.
std::map<std::pair<std::string, std::string>, size_t> definedPositions() {
    std::map<std::pair<std::string, std::string>, size_t> out;
    for (const std::string& line : fileLines("protocol.txt")) {
        if (line.size() < 2 || (line[0] != '<' && line[0] != '>')) continue;
        std::vector<std::string> w = words(line.substr(2));
        for (size_t i = 1; i < w.size(); ++i) {
            auto [at, fresh] = out.emplace(std::make_pair(w[0], w[i]), i);
            // A verb going both ways keeps each field where it was.
            EXPECT_TRUE(fresh || at->second == i) << line;
        }
    }
    return out;
}

TEST(BridgeProtocol, NamesEveryFieldWhereTheDefinitionPutsIt) {
    auto defined = definedPositions();
    ASSERT_GT(defined.size(), 40u);
    std::set<std::pair<std::string, std::string>> named;
    for (const BridgeProtocol::Name& name : BridgeProtocol::names()) {
        auto key = std::make_pair(std::string(name.verb), std::string(name.field));
        named.insert(key);
        ASSERT_TRUE(defined.count(key)) << name.verb << " " << name.field << " is not defined";
        EXPECT_EQ(defined[key], name.position) << name.verb << " " << name.field;
    }
    for (const auto& [key, position] : defined)
        EXPECT_TRUE(named.count(key)) << key.first << " " << key.second << " has no name here";
}

// The shared sample lines: each line as it goes over the wire, and its fields by name.
struct Sample {
    std::string line;
    std::map<std::string, std::wstring> fields;
};

std::vector<Sample> samples() {
    std::vector<Sample> out;
    for (const std::string& text : fileLines("test/sample-lines.txt")) {
        if (text.size() > 2 && (text[0] == '<' || text[0] == '>') && text[1] == ' ') {
            out.push_back({text.substr(2), {}});
        } else if (text.rfind("  ", 0) == 0 && !out.empty()) {
            size_t colon = text.find(':');
            std::string value = text.substr(colon + 1);
            if (!value.empty() && value[0] == ' ') value.erase(0, 1);
            std::string raw;
            for (size_t i = 0; i < value.size(); ++i) {
                if (value[i] == '\\' && i + 1 < value.size()) {
                    char c = value[++i];
                    raw += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
                } else {
                    raw += value[i];
                }
            }
            out.back().fields[text.substr(2, colon - 2)] = text::fromUtf8(raw);
        }
    }
    return out;
}

TEST(BridgeProtocol, ReadsAndWritesTheSharedSampleLines) {
    auto defined = definedPositions();
    std::vector<Sample> all = samples();
    ASSERT_GE(all.size(), 10u);
    for (const Sample& sample : all) {
        std::vector<std::wstring> fields = BridgeLine::decode(sample.line);
        std::string verb = text::toUtf8(fields[BridgeProtocol::kVerb]);
        std::vector<std::wstring> rebuilt(fields.size());
        rebuilt[BridgeProtocol::kVerb] = fields[BridgeProtocol::kVerb];
        for (const auto& [name, value] : sample.fields) {
            auto at = defined.find({verb, name});
            ASSERT_NE(at, defined.end()) << sample.line;
            EXPECT_EQ(BridgeProtocol::field(fields, at->second), value) << sample.line << " " << name;
            if (at->second < rebuilt.size()) rebuilt[at->second] = value;
        }
        EXPECT_EQ(BridgeLine::encode(rebuilt), sample.line + "\n");
    }
}

TEST(BridgeProtocol, CommandsNameTheirViewAndRequestFirst) {
    auto line = BridgeProtocol::command(L"load", L"{G}", 7, {L"C:\\p\\index.html"});
    EXPECT_EQ(BridgeProtocol::field(line, BridgeProtocol::kView), L"{G}");
    EXPECT_EQ(BridgeProtocol::field(line, BridgeProtocol::kRequest), L"7");
    EXPECT_EQ(BridgeProtocol::field(line, BridgeProtocol::Load::kUrl), L"C:\\p\\index.html");
    EXPECT_EQ(BridgeProtocol::field(line, 99), L"");
}

TEST(BridgeLineReader, CutsLinesWhereverThePiecesEndAndDropsOverlongOnesWhole) {
    BridgeLineReader reader(10);
    std::vector<std::string> lines;
    size_t dropped = 0;
    for (const char* piece : {"ab", "c\nd", "e\n", "xxxxxxxx", "yyyyyyyy", "z\nok\n\n"})
        dropped += reader.take(piece, std::char_traits<char>::length(piece), lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"abc", "de", "ok", ""}));
    EXPECT_EQ(dropped, 1u);
}

TEST(BridgeLineReader, TakesALongLineInManyPieces) {
    // 8 MB in 64 KB pieces, as a large frame arrives.
    BridgeLineReader reader;
    std::string piece(65536, 'A');
    std::vector<std::string> lines;
    for (int i = 0; i < 128; ++i) reader.take(piece.data(), piece.size(), lines);
    reader.take("\n", 1, lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 128u * 65536u);
}

}  // namespace
}  // namespace refhost
