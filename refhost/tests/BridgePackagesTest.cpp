#include "webview/engine/BridgePackages.h"

#include <gtest/gtest.h>

namespace refhost {
namespace {

// Every package the lock file pins is named, scoped and nested ones too; a
// value that merely mentions a package folder is not a package.
TEST(BridgePackages, NamesEveryPackageTheLockFilePins) {
    const std::string lock = R"({
  "packages": {
    "": { "dependencies": { "proxy": "2.2.0" } },
    "node_modules/@scope/tool" : { "version": "1.0.0" },
    "node_modules/proxy": { "version": "2.2.0", "link": "node_modules/elsewhere" },
    "node_modules/proxy/node_modules/debug":
      { "version": "4.3.4" }
  }
})";
    EXPECT_EQ(BridgePackages::named(lock),
              (std::vector<std::string>{"node_modules/@scope/tool", "node_modules/proxy",
                                        "node_modules/proxy/node_modules/debug"}));
    EXPECT_TRUE(BridgePackages::named("{}").empty());
}

}  // namespace
}  // namespace refhost
