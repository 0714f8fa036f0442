// Web servers that want more than a plain request: HTTPS with a certificate of a town's own
// authority (the authority file the user stores per host) and a basic login (stored per
// host, sent to that host only). The server is the tests' own, its certificates made by
// the fixture with openssl.

#include "foundation/Errors.h"
#include "foundation/RegistryManager.h"
#include "foundation/ServerConsent.h"
#include "tests/video/VideoTestSupport.h"
#include "tests/video/WebServerTestSupport.h"
#include "video/HttpByteSource.h"

#include <fstream>
#include <gtest/gtest.h>

namespace kanvio::test {
namespace {

constexpr int64_t kFrameMs = 40;

class WebServerAccessTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        std::string whyNot;
        server_ = FindTestWebServer(whyNot);
        if (!server_)
            GTEST_SKIP() << whyNot;
        ExactFilm(kFilm);
    }
    static void Store(const std::string& host, const char* name, const std::string& value) {
        WriteRegString(ServerSettingsSection(host), name, value);
    }
    // The message opening the film gives; "" when it opens.
    static std::string OpenError(const std::string& url) {
        try {
            THttpByteSource source(url);
            return source.Size() > 0 ? "" : "empty";
        } catch (const EFilmFetchError& error) {
            return error.what();
        }
    }
    // Loads the film into a player and shows two frames by exact seeks.
    void ExpectPlays(const std::string& url) {
        TMMEngine engine(rmVMR, nullptr, settings);
        engine.SetPlayPauseStepMs(0);
        ASSERT_EQ(engine.LoadMovie(url, lsSystem), S_OK) << LogText();
        for (const int frame : {700, 13}) {
            ASSERT_EQ(engine.SeekTo(frame * kFrameMs), S_OK) << frame;
            QImage grabbed;
            ASSERT_EQ(engine.GrabPicture(grabbed), S_OK);
            EXPECT_EQ(FrameNumberOf(grabbed), frame);
        }
    }

    static constexpr const char* kFilm = "mpeg2-gop12.mpg";
    std::optional<TTestWebServer> server_;
};

TEST_F(WebServerAccessTest, HttpsFilmsPlayWithTheHostsOwnAuthority) {
    if (server_->TlsPort == 0)
        GTEST_SKIP() << "the test web server has no HTTPS (openssl is missing)";
    Store("127.0.0.1", "CaFile", server_->CaFile);
    const std::string url = server_->TlsUrl("exact/" + std::string(kFilm));
    EXPECT_EQ(OpenError(url), "");
    ExpectPlays(url);
}

TEST_F(WebServerAccessTest, CertificatesThatDoNotVerifyAreRefused) {
    if (server_->TlsPort == 0)
        GTEST_SKIP() << "the test web server has no HTTPS (openssl is missing)";
    const std::string film = "exact/" + std::string(kFilm);
    const std::string notACertificate = (env.root() / "not-a-certificate.pem").string();
    std::ofstream(notACertificate) << "-----BEGIN CERTIFICATE-----\nnonsense\n";
    const struct {
        const char* What;
        std::string Host;   // where the film is asked for
        std::string CaHost; // whose CaFile is set ("" none)
        std::string CaFile;
        std::string Problem;
    } cases[] = {
        {"no authority set: the system's do not know the town's", "127.0.0.1", "", "",
         "certificate does not verify"},
        {"the authority set for another host", "127.0.0.1", "localhost", server_->CaFile,
         "certificate does not verify"},
        {"an authority file that is missing", "127.0.0.1", "127.0.0.1",
         (env.root() / "none.pem").string(), "none.pem (CaFile in"},
        {"an authority file without a certificate", "127.0.0.1", "127.0.0.1", notACertificate,
         "cannot be read or holds no certificate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Store("127.0.0.1", "CaFile", "");
        Store("localhost", "CaFile", "");
        if (!c.CaHost.empty())
            Store(c.CaHost, "CaFile", c.CaFile);
        const std::string url = server_->TlsUrl(film, c.Host);
        const std::string message = OpenError(url);
        EXPECT_EQ(message.rfind(url + ": ", 0), 0u) << message;
        EXPECT_NE(message.find(c.Problem), std::string::npos) << message;
        TMMEngine engine(rmVMR, nullptr, settings);
        EXPECT_EQ(engine.LoadMovie(url, lsSystem), MM_E_NO_FILE);
    }
}

TEST_F(WebServerAccessTest, TheHostsStoredLoginOpensItsFilms) {
    const std::string path = "exact/" + std::string(kFilm);
    Store("127.0.0.1", "User", server_->User);
    Store("127.0.0.1", "Password", server_->Password);
    const std::string url = server_->LoginUrl(path + "?stored-login");
    EXPECT_EQ(OpenError(url), "");
    ExpectPlays(url);
    const std::vector<std::string> logins = server_->LoginsSent("?stored-login");
    ASSERT_FALSE(logins.empty());
    EXPECT_EQ(logins.back(), server_->User);
}

TEST_F(WebServerAccessTest, WithoutTheRightLoginTheFilmIsNotFound) {
    const std::string path = "exact/" + std::string(kFilm);
    const struct {
        const char* What;
        std::string Password; // "" stores no login
    } cases[] = {{"no login stored", ""}, {"a wrong password", "wrong-password-4711"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        Store("127.0.0.1", "User", c.Password.empty() ? "" : server_->User);
        Store("127.0.0.1", "Password", c.Password);
        const std::string url = server_->LoginUrl(path);
        const std::string message = OpenError(url);
        EXPECT_EQ(message.rfind(url + ": ", 0), 0u) << message;
        EXPECT_NE(message.find("401"), std::string::npos) << message;
        TMMEngine engine(rmVMR, nullptr, settings);
        EXPECT_EQ(engine.LoadMovie(url, lsSystem), MM_E_NO_FILE);
        EXPECT_EQ(LogText().find("wrong-password-4711"), std::string::npos);
    }
}

TEST_F(WebServerAccessTest, ALoginGoesToItsOwnHostOnly) {
    const std::string film = "exact/" + std::string(kFilm);
    // The same server under two names: the login stored for one never reaches the other.
    const struct {
        std::string StoredFor;
        std::string AskedAs;
    } cases[] = {{"localhost", "127.0.0.1"}, {"127.0.0.1", "localhost"}};
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.StoredFor);
        Store(c.StoredFor, "User", server_->User);
        Store(c.StoredFor, "Password", server_->Password);
        Store(c.AskedAs, "User", "");
        Store(c.AskedAs, "Password", "");
        const std::string marker = "?other-host-" + std::to_string(++run);
        const std::string plain =
            "http://" + c.AskedAs + ":" + std::to_string(server_->Port) + "/" + film + marker;
        EXPECT_EQ(OpenError(plain), "");
        ExpectPlays(plain);
        const std::string guarded = server_->LoginUrl(film + marker, c.AskedAs);
        EXPECT_NE(OpenError(guarded).find("401"), std::string::npos);
        const std::vector<std::string> logins = server_->LoginsSent(marker);
        ASSERT_FALSE(logins.empty());
        for (const std::string& login : logins)
            EXPECT_EQ(login, "-");
    }
}

} // namespace
} // namespace kanvio::test
