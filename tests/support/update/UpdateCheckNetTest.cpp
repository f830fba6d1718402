// One whole update check against local servers: the request as sent, the
// result of each kind of answer, failures, the proxy, TLS and the abort.
#include "CRegData.h"
#include "CRegImpl.h"
#include "CRegUpdater.h"
#include "../../common/LocalHttpServer.h"
#include "Log.h"
#include "UpdateAnswerFixtures.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace {
const char* const kQueryPath = "/update-product-info/update.php?action=getinfo";

// The callback's reports, waited for from the test thread.
struct Reports {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> codes;

    static void Callback(void* user, int code, int /*tag*/)
    {
        auto* self = static_cast<Reports*>(user);
        std::lock_guard<std::mutex> guard(self->lock);
        self->codes.push_back(code);
        self->changed.notify_all();
    }
    bool WaitFor(size_t count, int timeoutMs = 20000)
    {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                [&] { return codes.size() >= count; });
    }
    std::vector<int> Codes()
    {
        std::lock_guard<std::mutex> guard(lock);
        return codes;
    }
};

// A data object and operations object set up as the configuration code does.
struct Check {
    CRegData data;
    CRegImpl impl{&data};
    Reports reports;

    explicit Check(const std::string& address, const std::string& current = "1.0.0.1")
    {
        data.SetProduct("Sonacap");
        data.SetVersion(current);
        data.SetLanguage("de");
        data.SetServiceUrl(CRegUpdater::ServiceUrlFor(address));
        data.SetConfigured(!address.empty());
        impl.SetCallBack(&Reports::Callback, &reports);
    }
};

std::string ReadAll(const std::filesystem::path& folder)
{
    std::string all;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        all += text.str();
    }
    return all;
}
} // namespace

TEST(UpdateCheckNetTest, SendsOneGetWithTheFixedHeaders)
{
    LocalHttpServer server;
    server.SetAnswer({200, update_test::AnswerWithVersion("1.0.0.1")});
    Check check(server.Address());
    check.data.SetProduct("a b&c");

    EXPECT_EQ(check.impl.CombineUpdateState(), kUpdateNotNewer);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const LocalHttpServer::Request& r = requests[0];
    EXPECT_EQ(r.line, std::string("GET ") + kQueryPath + "&product=a%20b%26c&versioncur=1.0.0.1&lang=de HTTP/1.1");
    EXPECT_EQ(r.Header("connection"), "Keep-Alive");
    EXPECT_EQ(r.Header("accept-language"), "zh-CN,en,*");
    EXPECT_EQ(r.Header("user-agent"), "Mozilla/5.0");
    EXPECT_EQ(r.headers.count("accept"), 0u);   // libcurl's own Accept is dropped
    EXPECT_EQ(r.headers.count("proxy-authorization"), 0u);
    EXPECT_EQ(check.reports.Codes(), std::vector<int>{kUpdateNotNewer});
}

TEST(UpdateCheckNetTest, ResultOfEachKindOfServer)
{
    LocalHttpServer server;
    const std::string html = "<!DOCTYPE html><html><head><meta charset=utf-8></head><body>Not Found</body></html>";
    const std::string xhtml = "<!DOCTYPE html><html><body><h1>Not Found</h1></body></html>";
    struct Case {
        const char* name;
        LocalHttpServer::Answer answer;
        int code;
    };
    const Case cases[] = {
        {"newer", {200, update_test::AnswerWithVersion("1.0.1")}, kUpdateNewer},
        {"equal", {200, update_test::AnswerWithVersion("1.0.0.1")}, kUpdateNotNewer},
        {"error page", {404, html, "text/html"}, kUpdateMalformed},
        {"well-formed error page", {404, xhtml, "text/html"}, kUpdateNoProduct},
        {"empty answer", {200, ""}, kUpdateMalformed},
        {"server error without body", {500, ""}, kUpdateMalformed},
    };
    for (const Case& c : cases) {
        server.SetAnswer(c.answer);
        Check check(server.Address());
        EXPECT_EQ(check.impl.CombineUpdateState(), c.code) << c.name;
        EXPECT_EQ(check.data.GetResult(), c.code) << c.name;
        EXPECT_EQ(check.reports.Codes(), std::vector<int>{c.code}) << c.name;
    }
}

TEST(UpdateCheckNetTest, AnAnswerOfAHundredMegabytesIsRefusedAfterAFewMegabytes)
{
    struct Case {
        const char* name;
        size_t fill;
        bool announced;
        int code;
    };
    const size_t huge = 100u * 1024 * 1024;
    // The real answer is small: blanks after it up to near the limit are
    // still read.
    const size_t allowed = CRegNet::kAnswerLimit - 64 * 1024;
    const Case cases[] = {
        {"100 MB, length announced", huge, true, kUpdateMalformed},
        {"100 MB, ended by closing", huge, false, kUpdateMalformed},
        {"a long answer below the limit", allowed, false, kUpdateNewer},
    };
    LocalHttpServer server;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer::Answer answer{200, update_test::AnswerWithVersion("1.0.1")};
        answer.fillBytes = c.fill;
        answer.announceLength = c.announced;
        server.SetAnswer(answer);
        Check check(server.Address());
        EXPECT_EQ(check.impl.CombineUpdateState(), c.code);
        EXPECT_EQ(check.reports.Codes(), std::vector<int>{c.code});
        EXPECT_EQ(check.impl.Net().AnswerTooLarge(), c.code == kUpdateMalformed);
        // Bounded memory: the client stopped taking the answer near the
        // limit (what the socket buffers hold besides), never near 100 MB.
        EXPECT_LT(server.AnswerBytesSent(), CRegNet::kAnswerLimit + 16u * 1024 * 1024);
    }
}

TEST(UpdateCheckNetTest, RefusedConnectionReportsLibcurlsCodeAndKeepsTheRecord)
{
    LocalHttpServer server;
    server.SetAnswer({200, update_test::AnswerWithVersion("3.0")});
    Check check(server.Address());
    ASSERT_EQ(check.impl.CombineUpdateState(), kUpdateNewer);

    check.data.SetServiceUrl(CRegUpdater::ServiceUrlFor("http://127.0.0.1:" +
                                                        std::to_string(LocalHttpServer::RefusedPort())));
    EXPECT_EQ(check.impl.CombineUpdateState(), CURLE_COULDNT_CONNECT);
    EXPECT_EQ(check.reports.Codes(), (std::vector<int>{kUpdateNewer, CURLE_COULDNT_CONNECT}));
    EXPECT_EQ(check.data.Result().serverVersion, "3.0");
}

TEST(UpdateCheckNetTest, NotConfiguredSendsNothingAndSkipsTheCallback)
{
    LocalHttpServer server;
    Check check(server.Address());
    check.data.SetConfigured(false);
    check.data.Table()["debugurl"] = "http://elsewhere";
    EXPECT_EQ(check.impl.CombineUpdateState(), kUpdateNotConfigured);
    EXPECT_EQ(check.data.GetResult(), kUpdateNotConfigured);
    EXPECT_TRUE(check.data.Table()["debugurl"].empty());
    EXPECT_TRUE(check.reports.Codes().empty());
    EXPECT_TRUE(server.Requests().empty());
}

TEST(UpdateCheckNetTest, GoesThroughTheHttpProxyWithBasicCredentials)
{
    // The service's host does not exist: only the proxy can answer.
    const std::string service = "http://updates.sonacap.invalid:8080";
    LocalHttpServer proxy;
    proxy.SetHandler([](const LocalHttpServer::Request& r) -> LocalHttpServer::Answer {
        if (r.Header("proxy-authorization") != "Basic " + Base64EncodeString("alice:s3cr:et"))
            return {407, "<html><body>Proxy Authentication Required<br></body></html>", "text/html"};
        return {200, update_test::AnswerWithVersion("1.5")};
    });

    struct Case {
        const char* name;
        const char* user;
        const char* password;
        int code;
    };
    const Case cases[] = {
        {"credentials", "alice", "s3cr:et", kUpdateNewer},
        {"wrong password", "alice", "nope", kUpdateMalformed},
        {"no user: no credentials", "", "s3cr:et", kUpdateMalformed},
    };
    for (const Case& c : cases) {
        Check check(service);
        check.impl.Net().SetProxy(CURLPROXY_HTTP, "127.0.0.1", proxy.Port(), c.user, c.password);
        EXPECT_EQ(check.impl.CombineUpdateState(), c.code) << c.name;
    }
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].line, "GET " + service + kQueryPath + "&product=Sonacap&versioncur=1.0.0.1&lang=de HTTP/1.1");
    EXPECT_EQ(requests[2].headers.count("proxy-authorization"), 0u);

    // The "no proxy" kind ignores a host that came along: the check goes
    // straight to the (refusing) service.
    Check direct("http://127.0.0.1:" + std::to_string(LocalHttpServer::RefusedPort()));
    direct.impl.Net().SetProxy(CRegNet::kNoProxy, "127.0.0.1", proxy.Port(), "alice", "s3cr:et");
    EXPECT_EQ(direct.impl.Net().Proxy().host, "");
    EXPECT_EQ(direct.impl.Net().Proxy().user, "");
    EXPECT_EQ(direct.impl.CombineUpdateState(), CURLE_COULDNT_CONNECT);
    EXPECT_EQ(proxy.Requests().size(), 3u);
}

TEST(UpdateCheckNetTest, ProxyPasswordNeverReachesTheLog)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("update-log-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    ASSERT_NE(InitLogSystem("Update", (folder.string() + "/").c_str(), 0, 2, 0), nullptr);
    {
        LocalHttpServer proxy;
        proxy.SetAnswer({200, update_test::AnswerWithVersion("1.5")});
        Check check("http://updates.sonacap.invalid");
        check.impl.Net().SetProxy(CURLPROXY_HTTP, "127.0.0.1", proxy.Port(), "alice", "Pa55-w0rd-x");
        EXPECT_EQ(check.impl.CombineUpdateState(), kUpdateNewer);
    }
    ReleaseLogSystem();
    const std::string log = ReadAll(folder);
    std::filesystem::remove_all(folder);
    EXPECT_NE(log.find("set proxy user[alice]"), std::string::npos) << log;
    EXPECT_NE(log.find("CheckUpdateState end"), std::string::npos);
    EXPECT_EQ(log.find("Pa55-w0rd-x"), std::string::npos);
}

TEST(UpdateCheckNetTest, MultipartPostSendsEachFieldInOrder)
{
    LocalHttpServer server;
    server.SetAnswer({200, "ok"});
    CRegNet net;
    ASSERT_EQ(net.InitSession(), 0);
    std::string body;
    EXPECT_EQ(net.HttpPost(server.Address() + "/upload", {{"b", "second"}, {"a", "first & more"}}, body), 0);
    EXPECT_EQ(body, "ok");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].line, "POST /upload HTTP/1.1");
    EXPECT_EQ(requests[0].Header("content-type").rfind("multipart/form-data; boundary=", 0), 0u);
    const std::string& sent = requests[0].body;
    const size_t a = sent.find("name=\"a\"\r\n\r\nfirst & more\r\n");
    const size_t b = sent.find("name=\"b\"\r\n\r\nsecond\r\n");
    ASSERT_NE(a, std::string::npos) << sent;
    ASSERT_NE(b, std::string::npos) << sent;
    EXPECT_LT(a, b);

    // The handle is still good for a GET afterwards.
    server.SetAnswer({200, "again"});
    EXPECT_EQ(net.HttpGet(server.Address() + "/x", body), 0);
    EXPECT_EQ(body, "again");
    EXPECT_EQ(server.Requests().back().line, "GET /x HTTP/1.1");
}

TEST(UpdateCheckNetTest, ShutdownEndsAHangingCheckAtOnce)
{
    LocalHttpServer server;
    server.Hold();   // accepts and reads the request, never answers
    Reports reports;
    CRegUpdater updater;
    updater.Configure("Sonacap", "1.0.0.1", CRegUpdater::ServiceUrlFor(server.Address()));
    updater.SetCallBack(&Reports::Callback, &reports);
    ASSERT_TRUE(updater.StartCheck());
    ASSERT_TRUE(server.WaitForRequests(1, 10000));
    EXPECT_TRUE(updater.IsChecking());
    EXPECT_FALSE(updater.StartCheck());   // joined, not a second request

    updater.Shutdown();
    // Ended by the abort, not by the 30-second time-out; nobody is called back.
    EXPECT_FALSE(updater.IsChecking());
    EXPECT_EQ(updater.Result().code, CURLE_ABORTED_BY_CALLBACK);
    EXPECT_TRUE(reports.Codes().empty());
    EXPECT_FALSE(updater.StartCheck());
    EXPECT_EQ(server.Requests().size(), 1u);
    server.Release();
}

TEST(UpdateCheckNetTest, WorkerReportsEveryCheckOnceIncludingUnconfigured)
{
    LocalHttpServer server;
    server.SetAnswer({200, update_test::AnswerWithVersion("1.2")});
    Reports reports;
    CRegUpdater updater;
    updater.SetCallBack(&Reports::Callback, &reports);

    // No service address: reported, nothing sent.
    updater.Configure("Sonacap", "1.0.0.1", "");
    ASSERT_TRUE(updater.StartCheck());
    ASSERT_TRUE(reports.WaitFor(1));
    EXPECT_EQ(reports.Codes(), std::vector<int>{kUpdateNotConfigured});

    updater.Configure("Sonacap", "1.0.0.1", CRegUpdater::ServiceUrlFor(server.Address() + "/"));
    updater.SetLanguage("jp");
    ASSERT_TRUE(updater.StartCheck());
    ASSERT_TRUE(reports.WaitFor(2));
    EXPECT_EQ(reports.Codes(), (std::vector<int>{kUpdateNotConfigured, kUpdateNewer}));
    const UpdateResult result = updater.Result();
    EXPECT_EQ(result.code, kUpdateNewer);
    EXPECT_EQ(result.serverVersion, "1.2");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].line.find(std::string(kQueryPath) + "&product=Sonacap&versioncur=1.0.0.1&lang=jp"),
              std::string::npos);
}

namespace {
// A TLS server whose certificate nobody trusts: a self-signed one made here.
class UntrustedTlsServer
{
public:
    UntrustedTlsServer()
    {
        EVP_PKEY* key = EVP_EC_gen("P-256");
        X509* cert = X509_new();
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), -60);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        X509_sign(cert, key, EVP_sha256());
        m_context = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(m_context, cert);
        SSL_CTX_use_PrivateKey(m_context, key);
        X509_free(cert);
        EVP_PKEY_free(key);

        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        listen(m_listen, 1);
        m_thread = std::thread([this] {
            const int client = accept(m_listen, nullptr, nullptr);
            if (client < 0)
                return;
            SSL* ssl = SSL_new(m_context);
            SSL_set_fd(ssl, client);
            if (SSL_accept(ssl) == 1) {
                const char reply[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                SSL_write(ssl, reply, sizeof reply - 1);
                m_handshakeDone = true;
            }
            SSL_free(ssl);
            close(client);
        });
    }
    ~UntrustedTlsServer()
    {
        shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        close(m_listen);
        SSL_CTX_free(m_context);
    }
    int Port() const { return m_port; }
    bool HandshakeDone() const { return m_handshakeDone; }

private:
    SSL_CTX* m_context = nullptr;
    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_handshakeDone{false};
};
} // namespace

TEST(UpdateCheckNetTest, UntrustedCertificateIsNotBelieved)
{
    UntrustedTlsServer server;
    Check check("https://127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(check.impl.CombineUpdateState(), CURLE_PEER_FAILED_VERIFICATION);
    EXPECT_FALSE(server.HandshakeDone());
}
