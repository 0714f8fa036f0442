// The project database read from a Firebird server: the same model as from the delivered
// file, read-only, and clear messages when the server is not confirmed, cannot be reached,
// does not answer or refuses the login.

#include "datasources/FirebirdServer.h"

#include "datasources/FirebirdClient.h"
#include "datasources/FirebirdDataTreeBuilder.h"
#include "datasources/FirebirdQuery.h"
#include "foundation/RegistryManager.h"
#include "foundation/ServerConsent.h"
#include "tests/datasources/firebird/FirebirdServerTestSupport.h"
#include "tests/datasources/firebird/FirebirdTestSupport.h"
#include "tests/support/FakeDialogs.h"
#include "tools/mkproject/ProjectGenerator.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kanvio::test {
namespace {

constexpr const char* Host = "127.0.0.1";

// Every field the data source fills, one line per structure and per observation.
std::string Describe(const TKanvioDataModel& model) {
    std::ostringstream out;
    out.precision(17);
    for (const auto* structures : {&model.Reaches, &model.Connections})
        for (const TReachDataRef& s : *structures) {
            out << s->ObjectType << '|' << s->ID << '|' << s->city << '|' << s->date << '|'
                << s->street << '|' << s->ReachNumber << '|' << s->ConnectionNumber << '|'
                << s->StartManholeNumber << '|' << s->EndManholeNumber << '|' << s->video << '|'
                << s->StartDist << '|' << s->EndDist << '|' << s->direction << '|' << s->InspMode
                << '|' << s->InspLength << '|' << s->CodeDigit << '\n';
            for (const TReachDetail& d : s->Details)
                out << "  " << d.Distance << '|' << d.Code << '|' << d.Text << '|' << d.VideoTime
                    << '|' << d.DefectClass << '|' << d.CounterHours << ':' << int(d.CounterMinutes)
                    << ':' << int(d.CounterSeconds) << '\n';
        }
    return out.str();
}

class FirebirdServerTest : public FirebirdTest {
protected:
    void SetUp() override {
        std::string whyNot;
        server_ = FindTestFirebirdServer(whyNot);
        if (!server_)
            GTEST_SKIP() << whyNot;
        settingsFile_ = (env.programFolder() / "Kanvio.ini").string();
        StoreServerLogin(Host, {server_->UserName, server_->Password, 5});
    }

    // A generated project written where the server reads it; its address.
    std::string ServeProject(int seed) {
        generator::TGeneratorOptions options;
        options.Reaches = 12;
        options.Connections = 15;
        options.Observations = 240;
        options.Seed = seed;
        const std::string name =
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".fdb";
        databaseFile_ = server_->DataFolder + name;
        std::filesystem::remove(databaseFile_);
        generator::WriteDeliveryDatabase(
            databaseFile_, generator::DeliveryFromProject(generator::GenerateProject(options)));
        return server_->Address(databaseFile_);
    }

    TKanvioDataModel BuildFromServer(const std::string& address, IUserDialogs& answering) {
        TKanvioDataModel model;
        TFirebirdDataTreeBuilder::OnServer(address, settingsFile_, answering)->BuildDataTree(model);
        return model;
    }

    void Confirm(const std::string& address) {
        RememberServerConsent({settingsFile_, "[DATA] Database", address, "any"});
    }

    // The message of the error building from address throws.
    std::string BuildError(const std::string& address) {
        Confirm(address);
        try {
            BuildFromServer(address, dialogs);
        } catch (const EKanvioError& error) {
            return error.what();
        }
        ADD_FAILURE() << "no error for " << address;
        return {};
    }

    std::optional<TTestFirebirdServer> server_;
    std::string settingsFile_;
    std::string databaseFile_;
};

TEST_F(FirebirdServerTest, ReadsTheSameModelAsFromTheDeliveredFile) {
    const std::string address = ServeProject(7);
    const TKanvioDataModel embedded = Build(databaseFile_);
    Confirm(address);
    const TKanvioDataModel served = BuildFromServer(address, dialogs);
    ASSERT_EQ(served.Reaches.size(), 12u);
    ASSERT_EQ(served.Connections.size(), 15u);
    EXPECT_EQ(Describe(served), Describe(embedded));
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(FirebirdServerTest, AsksOnceForEachDeliveryAndRemembersTheAnswer) {
    const std::string address = ServeProject(8);
    FakeDialogs no(false);
    try {
        BuildFromServer(address, no);
        ADD_FAILURE() << "read without confirmation";
    } catch (const EKanvioError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(settingsFile_ + ": [DATA] Database names the server 127.0.0.1/"),
                  std::string::npos)
            << message;
        EXPECT_NE(message.find(ConfirmedServersSection), std::string::npos) << message;
    }
    ASSERT_EQ(no.questions.size(), 1u);
    EXPECT_NE(no.questions[0].find("127.0.0.1/" + std::to_string(server_->Port)),
              std::string::npos);

    FakeDialogs yes(true);
    EXPECT_EQ(BuildFromServer(address, yes).Reaches.size(), 12u);
    FakeDialogs afterwards(false);
    EXPECT_EQ(BuildFromServer(address, afterwards).Reaches.size(), 12u);
    EXPECT_EQ(yes.questions.size(), 1u);
    EXPECT_TRUE(afterwards.questions.empty());

    // Another delivery naming the same server is asked about again.
    settingsFile_ = (env.root() / "other" / "Kanvio.ini").string();
    EXPECT_THROW(BuildFromServer(address, afterwards), EKanvioError);
    EXPECT_EQ(afterwards.questions.size(), 1u);
}

TEST_F(FirebirdServerTest, ConnectFailuresNameTheServerAndTheReason) {
    const std::string database = ServeProject(9);
    TSilentPort silent;
    const std::string port = std::to_string(server_->Port);
    const struct {
        const char* Case;
        std::string Address;
        const char* Reason;
    } cases[] = {
        {"nothing listens", std::string(Host) + "/" + std::to_string(ClosedPort()) + ":x.fdb",
         "cannot be reached"},
        {"never answers", std::string(Host) + "/" + std::to_string(silent.Port()) + ":x.fdb",
         "did not answer within 2 seconds"},
        {"no such database", server_->Address(server_->DataFolder + "none.fdb"), "none.fdb"},
    };
    StoreServerLogin(Host, {server_->UserName, server_->Password, 2});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        const std::string message = BuildError(c.Address);
        EXPECT_NE(message.find("database server 127.0.0.1/"), std::string::npos) << message;
        EXPECT_NE(message.find(c.Reason), std::string::npos) << message;
    }
}

TEST_F(FirebirdServerTest, RefusedLoginNamesTheUserAndWhereItIsStored) {
    const std::string address = ServeProject(10);
    StoreServerLogin(Host, {server_->UserName, "wrong", 5});
    const std::string message = BuildError(address);
    EXPECT_NE(message.find("database server 127.0.0.1/" + std::to_string(server_->Port)),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("refused the login of user " + server_->UserName), std::string::npos)
        << message;
    EXPECT_NE(message.find("Servers/127.0.0.1"), std::string::npos) << message;
    EXPECT_EQ(message.find("wrong"), std::string::npos) << "the password is shown: " << message;
}

TEST_F(FirebirdServerTest, TheLoginOfAnotherHostIsNeverSent) {
    const std::string address = ServeProject(11);
    // The stored login belongs to "localhost", the delivery names 127.0.0.1.
    ASSERT_TRUE(DeleteRegKey(ServerLoginSection(Host)));
    StoreServerLogin("localhost", {server_->UserName, server_->Password, 5});
    const std::string message = BuildError(address);
    EXPECT_NE(message.find("no login is stored for this server"), std::string::npos) << message;
    EXPECT_NE(message.find("Servers/127.0.0.1"), std::string::npos) << message;
}

TEST_F(FirebirdServerTest, ReadsInTransactionsThatCannotWrite) {
    const std::string address = ServeProject(12);
    Confirm(address);
    const TKanvioDataModel before = BuildFromServer(address, dialogs);

    auto connection = AttachServerDatabase(address, settingsFile_, dialogs);
    for (const char* sql : {"DELETE FROM HaltungE", "UPDATE Haltung SET Stadt = 'x'",
                            "CREATE TABLE Extra (A INTEGER)"}) {
        SCOPED_TRACE(sql);
        TFirebirdTransaction transaction(*connection,
                                         TFirebirdTransaction::TAccess::ReadOnlyCommitted);
        try {
            connection->Execute(transaction, sql);
            transaction.Commit();
            ADD_FAILURE() << "written";
        } catch (const EFirebirdError& error) {
            EXPECT_TRUE(error.HasCode(isc_read_only_trans)) << error.what();
        }
    }
    connection->Detach();
    EXPECT_EQ(Describe(BuildFromServer(address, dialogs)), Describe(before));
}

// A reader sees what others committed while it was attached: the server's database is shared.
TEST_F(FirebirdServerTest, EachReadSeesWhatOthersHaveCommitted) {
    const std::string address = ServeProject(13);
    Confirm(address);
    const TKanvioDataModel before = BuildFromServer(address, dialogs);
    {
        auto writer = TFirebirdConnection::AttachServer(server_->Address(databaseFile_),
                                                        {server_->UserName, server_->Password, {}},
                                                        5, "writer");
        TFirebirdTransaction transaction(*writer);
        writer->Execute(transaction, "UPDATE Haltung SET Stadt = 'Neustadt'");
        transaction.Commit();
        writer->Detach();
    }
    const TKanvioDataModel after = BuildFromServer(address, dialogs);
    ASSERT_EQ(after.Reaches.size(), before.Reaches.size());
    for (const TReachDataRef& reach : after.Reaches)
        EXPECT_EQ(reach->city, "Neustadt");
}

} // namespace
} // namespace kanvio::test
