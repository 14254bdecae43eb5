#pragma once
// The panel processor of the test program, bound to a fake host through the
// linked exports, with its controller state reset for each test.
#include <gtest/gtest.h>

#include <string>

#include "host/Exports.h"
#include "host/HalvetAppUIMessageProcessor.h"
#include "support/FakeHost.h"
#include "unit/ModuleStateGuard.h"
#include "xml/XMLParser.h"

class PanelFixture : public testing::Test, public ModuleStateGuard {
protected:
    void SetUp() override {
        panel().networkErrorState = 0;
        ASSERT_EQ(host.initialize(), 1);
    }
    void TearDown() override { panel().networkErrorState = 0; }

    static HalvetAppUIMessageProcessor& panel() { return *HalvetAppUIMessageProcessor::instance(); }

    // The same document as the DOM writes it, so that texts built in different
    // ways compare; "(not XML)" when it does not load.
    static std::wstring canonical(const std::wstring& xml) {
        XMLParser document;
        std::wstring text;
        if (!document.initWithXMLString(xml) || !document.getXMLString(text)) return L"(not XML)";
        return text;
    }

    static std::wstring textAt(const std::wstring& xml, const std::wstring& path) {
        XMLParser document;
        std::wstring text = L"(missing)";
        if (document.initWithXMLString(xml)) document.stringValueForXQuery(path, text);
        return text;
    }

    halvet::test::FakeHost host{
        halvet::test::EntryPoints{&initialize, &processMessage, &finalize}};
};
