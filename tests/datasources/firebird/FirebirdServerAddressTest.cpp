// How a delivery's [DATA] Database value is read: what names a server and what is refused
// before anything is sent over the network.

#include "datasources/FirebirdServer.h"
#include "foundation/Errors.h"
#include "foundation/ServerConsent.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace kanvio {
namespace {

struct TGoodAddress {
    const char* Text;
    const char* Host;
    int Port;
    const char* Database;
    const char* ConnectString;
};

TEST(FirebirdServerAddressTest, ReadsHostPortAndDatabase) {
    const TGoodAddress cases[] = {
        {"db.example.org:inspections", "db.example.org", 0, "inspections",
         "db.example.org:inspections"},
        {"db.example.org/3051:inspections", "db.example.org", 3051, "inspections",
         "db.example.org/3051:inspections"},
        {"  10.0.0.7/3050:/srv/data/net.fdb ", "10.0.0.7", 3050, "/srv/data/net.fdb",
         "10.0.0.7/3050:/srv/data/net.fdb"},
        {"server:D:\\data\\net.fdb", "server", 0, "D:\\data\\net.fdb", "server:D:\\data\\net.fdb"},
        {"[::1]/3050:net", "::1", 3050, "net", "[::1]/3050:net"},
        {"[fe80::1]:net", "fe80::1", 0, "net", "[fe80::1]:net"},
        {"h:x", "h", 0, "x", "h:x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const auto address = TFirebirdServerAddress::Parse(c.Text, "/d/Kanvio.ini");
        EXPECT_EQ(address.Host, c.Host);
        EXPECT_EQ(address.Port, c.Port);
        EXPECT_EQ(address.Database, c.Database);
        EXPECT_EQ(address.ConnectString(), c.ConnectString);
    }
}

TEST(FirebirdServerAddressTest, RefusesWhatNamesNoServer) {
    const struct {
        const char* Text;
        const char* Problem;
    } cases[] = {
        {"", "no server is named"},
        {"inspections.fdb", "no server is named"},
        {":inspections", "no server is named"},
        {"/3050:inspections", "no server is named"},
        {"C:\\data\\net.fdb", "a drive letter names no server"},
        {"c:/data/net.fdb", "a drive letter names no server"},
        {"host/:db", "the port \"\" is no number"},
        {"host/30x:db", "the port \"30x\" is no number"},
        {"host/0:db", "the port 0 is out of range"},
        {"host/65536:db", "the port 65536 is out of range"},
        {"host/999999:db", "is no number"},
        {"host:", "no database is named"},
        {"host:   ", "no database is named"},
        {"user@host:db", "\"user@host\" is no host name"},
        {"ho st:db", "\"ho st\" is no host name"},
        {"[::1:db", "no closing"},
        {"[]:db", "is no IPv6 address"},
        {"[::1]x:db", "unexpected \"x\""},
        {"[::1]", "no database is named"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        try {
            TFirebirdServerAddress::Parse(c.Text, "/d/Kanvio.ini");
            ADD_FAILURE() << "accepted";
        } catch (const EKanvioError& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find("/d/Kanvio.ini: [DATA] Database="), std::string::npos)
                << message;
            EXPECT_NE(message.find(c.Problem), std::string::npos) << message;
        }
    }
}

} // namespace
} // namespace kanvio

namespace kanvio {
namespace {

// The remembered answer belongs to one delivery, one setting and one value.
TEST(ServerConsentKeyTest, SeparatesDeliveriesSettingsAndValues) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    const TServerUse base{(folder / "Kanvio.ini").string(), "[DATA] Database", "h:db", "h"};
    TServerUse relative = base;
    relative.DeliveryFile = "./Kanvio.ini";
    const std::string baseKey = ServerConsentKey(base);
    // The same file named from its folder: the same delivery.
    EXPECT_EQ(ServerConsentKey(relative), baseKey);
    TServerUse shownOtherwise = base;
    shownOtherwise.ServerName = "another name";
    EXPECT_EQ(ServerConsentKey(shownOtherwise), baseKey);
    std::filesystem::current_path(previous);

    TServerUse other = base;
    other.DeliveryFile = (folder / "other" / "Kanvio.ini").string();
    TServerUse setting = base;
    setting.Setting = "[DATA] FilmBase";
    TServerUse value = base;
    value.Value = "h:db2";
    // Parts that only join differently: ("ab","c") against ("a","bc").
    TServerUse shifted = base;
    shifted.Setting = base.Setting + "h";
    shifted.Value = ":db";
    for (const TServerUse* changed : {&other, &setting, &value, &shifted})
        EXPECT_NE(ServerConsentKey(*changed), baseKey)
            << changed->DeliveryFile << " " << changed->Setting << " " << changed->Value;
}

} // namespace
} // namespace kanvio
