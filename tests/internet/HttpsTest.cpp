// The transfer speaks HTTPS: a QSslServer on 127.0.0.1 with a certificate
// made for the test. Untrusted, the transfer fails; trusted, the file arrives.

#include "InternetFixture.h"
#include "LoopbackHttpServer.h"
#include "internet/HttpDownload.h"

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

#include <gtest/gtest.h>

namespace tavrin
{
namespace
{

namespace fs = std::filesystem;

TEST(Https, AFileArrivesOnlyFromAServerWhoseCertificateIsTrusted)
{
    test::ensureInternetApplication();
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    test::TempDir dir;
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
        "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
        (dir / "key.pem").string() + "' -out '" + (dir / "cert.pem").string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const QSslCertificate cert(QByteArray::fromStdString(test::readFile(dir / "cert.pem")));
    const QSslKey key(QByteArray::fromStdString(test::readFile(dir / "key.pem")), QSsl::Rsa);
    ASSERT_FALSE(cert.isNull());

    QSslServer server;
    QSslConfiguration serverConfig = QSslConfiguration::defaultConfiguration();
    serverConfig.setLocalCertificate(cert);
    serverConfig.setPrivateKey(key);
    server.setSslConfiguration(serverConfig);
    const QByteArray body(5000, 'S');
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [&] {
        QTcpSocket* socket = server.nextPendingConnection();
        auto request = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, request, &body] {
            *request += socket->readAll();
            if (!request->contains("\r\n\r\n"))
                return;
            socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    });
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    const std::string url = "https://127.0.0.1:" + std::to_string(server.serverPort()) + "/a.ssd";
    const fs::path file = dir / "a.ssd";

    // Directly and through a redirect from a plain server, a connection failure that says why.
    test::LoopbackHttpServer plain;
    plain.route("/a.ssd", {302, "", test::HttpRoute::Kind::Whole, url});
    for (const std::string& asked : {url, plain.base() + "a.ssd"}) {
        const DownloadResult r = DownloadToFile(asked, file);
        EXPECT_EQ(r.outcome, DownloadOutcome::ConnectionFailure) << r.detail;
        EXPECT_EQ(r.detail.rfind("certificate not trusted: ", 0), 0u) << r.detail;
        EXPECT_EQ(r.address, url);
        EXPECT_FALSE(fs::exists(file));
    }

    const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = before;
    trusting.addCaCertificate(cert);
    QSslConfiguration::setDefaultConfiguration(trusting);
    const DownloadResult r = DownloadToFile(url, file);
    QSslConfiguration::setDefaultConfiguration(before);
    EXPECT_EQ(r.outcome, DownloadOutcome::Saved) << r.detail;
    EXPECT_EQ(test::readFile(file), body.toStdString());
}

} // namespace
} // namespace tavrin
