#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <thread>

#include "xml/XMLDocumentFactory.h"
#include "xml/XMLFactoryCallScope.h"
#include "xml/XMLParser.h"

namespace {

bool parses(const wchar_t* xml, const wchar_t* path, const wchar_t* expected) {
    XMLParser parser;
    std::wstring value;
    return parser.initWithXMLString(xml) && parser.stringValueForXQuery(path, value) &&
           value == expected;
}

template <typename Body>
void onOwnThread(Body body) {
    std::thread(body).join();
}

}  // namespace

TEST(XMLDocumentFactoryTest, DocumentsStillWorkAfterTheHostEndsAndRestartsItsApartmentInACall) {
    onOwnThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        {
            XMLFactoryCallScope call;
            EXPECT_TRUE(parses(L"<a><b>1</b></a>", L"/a/b", L"1"));
            EXPECT_TRUE(XMLDocumentFactory::keepsFactory());
            EXPECT_TRUE(XMLDocumentFactory::spyRegistered());

            // A nested initialisation ending does not end the apartment.
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
            CoUninitialize();
            EXPECT_TRUE(XMLDocumentFactory::keepsFactory());

            // The last one does (a host doing it from a callback): what was
            // kept from it is gone, and the new apartment gets its own.
            CoUninitialize();
            EXPECT_FALSE(XMLDocumentFactory::keepsFactory());
            ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
            EXPECT_TRUE(parses(L"<a><b>2</b></a>", L"/a/b", L"2"));
            EXPECT_TRUE(XMLDocumentFactory::keepsFactory());
            for (int i = 0; i < 3; ++i) {
                CoUninitialize();
                ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
                EXPECT_TRUE(parses(L"<a><c>x</c></a>", L"//c", L"x"));
            }
        }
        // Between calls nothing is kept or registered.
        EXPECT_FALSE(XMLDocumentFactory::keepsFactory());
        EXPECT_FALSE(XMLDocumentFactory::spyRegistered());
        EXPECT_TRUE(parses(L"<a><b>3</b></a>", L"/a/b", L"3"));
        EXPECT_FALSE(XMLDocumentFactory::keepsFactory());
        CoUninitialize();
    });
}

TEST(XMLDocumentFactoryTest, NestedCallsShareTheFactoryAndOtherThreadsMakeTheirOwnDocuments) {
    onOwnThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        {
            XMLFactoryCallScope outer;
            EXPECT_TRUE(parses(L"<a>1</a>", L"/a", L"1"));
            {
                XMLFactoryCallScope inner;
                EXPECT_TRUE(parses(L"<a>2</a>", L"/a", L"2"));
            }
            EXPECT_TRUE(XMLDocumentFactory::keepsFactory());
            onOwnThread([] {
                ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
                {
                    XMLFactoryCallScope call;
                    EXPECT_TRUE(parses(L"<a>3</a>", L"/a", L"3"));
                    EXPECT_FALSE(XMLDocumentFactory::keepsFactory());
                }
                CoUninitialize();
            });
            EXPECT_TRUE(XMLDocumentFactory::keepsFactory());
        }
        EXPECT_FALSE(XMLDocumentFactory::keepsFactory());
        EXPECT_FALSE(XMLDocumentFactory::spyRegistered());
        CoUninitialize();
    });
}

TEST(XMLDocumentFactoryTest, KeepsNothingWithoutCOMOrOutsideASingleThreadedApartment) {
    onOwnThread([] {
        XMLFactoryCallScope call;
        XMLParser parser;
        EXPECT_FALSE(parser.initWithXMLString(L"<a/>"));
        EXPECT_FALSE(XMLDocumentFactory::keepsFactory());
        EXPECT_FALSE(XMLDocumentFactory::spyRegistered());
    });
    onOwnThread([] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        {
            XMLFactoryCallScope call;
            EXPECT_TRUE(parses(L"<a><b>m</b></a>", L"/a/b", L"m"));
            EXPECT_FALSE(XMLDocumentFactory::keepsFactory());
            EXPECT_FALSE(XMLDocumentFactory::spyRegistered());
        }
        CoUninitialize();
    });
}

TEST(XMLDocumentFactoryTest, UnregisteredClassesFailAsBeforeAndTheNextDocumentKeepsTheFactory) {
    onOwnThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        // Outside a call COM makes the document, and loads the server.
        EXPECT_TRUE(parses(L"<a>0</a>", L"/a", L"0"));
        const HMODULE server = GetModuleHandleW(L"msxml3.dll");
        ASSERT_NE(server, nullptr);
        {
            XMLFactoryCallScope call;
            // The first document of the call names a class nobody registered.
            const CLSID unregistered = {
                0x5a1e0b7c, 0x33d1, 0x4c8e, {0x9b, 0x21, 0x6f, 0x40, 0x0a, 0x7e, 0x12, 0x9d}};
            IUnknown* object = reinterpret_cast<IUnknown*>(1);
            EXPECT_EQ(XMLDocumentFactory::create(unregistered, IID_IUnknown,
                                                 reinterpret_cast<void**>(&object)),
                      REGDB_E_CLASSNOTREG);
            EXPECT_EQ(object, nullptr);
            EXPECT_FALSE(XMLDocumentFactory::keepsFactory());

            EXPECT_TRUE(parses(L"<a>1</a>", L"/a", L"1"));
            EXPECT_TRUE(XMLDocumentFactory::keepsFactory());
        }
        EXPECT_FALSE(XMLDocumentFactory::keepsFactory());
        // The server stays loaded for the apartment, as COM keeps it.
        EXPECT_EQ(GetModuleHandleW(L"msxml3.dll"), server);
        CoUninitialize();
    });
}
