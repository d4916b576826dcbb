#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests and benchmarks, running in
// a thread of the test process. Each path answers as its route says: a
// whole body, a body cut off half way, a body that stalls half way, a body
// sent a byte at a time, a redirect, any status; a file is streamed from
// disk. Unknown paths get 404.
// One connection at a time, each closed after its answer.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace tavrin::test
{

struct HttpRoute {
    // Silent: reads the request and never answers. Trickle: one byte of the
    // body every 100 ms.
    enum class Kind { Whole, CutHalfway, Stall, Silent, Trickle };
    HttpRoute(int status = 200, std::string body = {}, Kind kind = Kind::Whole,
              std::string location = {})
        : status(status), body(std::move(body)), kind(kind), location(std::move(location))
    {
    }
    int status = 200;
    std::string body;
    Kind kind = Kind::Whole;
    std::string location;       // a redirect's target (with status 301, 302, ...)
    std::filesystem::path file; // streamed instead of `body` when set
};

class LoopbackHttpServer
{
  public:
    LoopbackHttpServer()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int yes = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listener_, 16) != 0)
            throw std::runtime_error("the loopback server cannot listen");
        socklen_t len = sizeof addr;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~LoopbackHttpServer()
    {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT/"
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

    void route(const std::string& path, HttpRoute r)
    {
        std::lock_guard lock(mutex_);
        routes_[path] = std::move(r);
    }
    // The answer to paths without a route of their own (404 until set).
    void fallback(HttpRoute r)
    {
        std::lock_guard lock(mutex_);
        fallback_ = std::move(r);
    }
    // The paths asked for, in order.
    std::vector<std::string> requests() const
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }

  private:
    void run()
    {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            serve(client);
            ::close(client);
        }
    }

    bool sendAll(int fd, const char* data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // Waits until the client closes the connection or the server stops.
    void waitForClose(int fd)
    {
        char buf[256];
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0)
                return;
        }
    }

    // One byte every 100 ms until the body is sent or the client goes.
    void trickle(int fd, const std::string& body)
    {
        for (char c : body) {
            pollfd p{fd, POLLIN, 0};
            char buf[256];
            if (stop_ || (::poll(&p, 1, 100) > 0 && ::recv(fd, buf, sizeof buf, 0) <= 0) ||
                !sendAll(fd, &c, 1))
                return;
        }
    }

    void serve(int fd)
    {
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos && !stop_) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            request.append(buf, static_cast<std::size_t>(n));
        }
        const auto first = request.find(' ');
        const auto second = request.find(' ', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            return;
        const std::string path = request.substr(first + 1, second - first - 1);
        HttpRoute r;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(path);
            const auto it = routes_.find(path);
            if (it == routes_.end())
                r = fallback_;
            else
                r = it->second;
        }
        if (r.kind == HttpRoute::Kind::Silent) {
            waitForClose(fd);
            return;
        }
        int fileFd = -1;
        off_t size = static_cast<off_t>(r.body.size());
        if (!r.file.empty()) {
            fileFd = ::open(r.file.c_str(), O_RDONLY | O_CLOEXEC);
            struct stat st {
            };
            ::fstat(fileFd, &st);
            size = st.st_size;
        }
        std::string head = "HTTP/1.1 " + std::to_string(r.status) +
                           " Answer\r\nContent-Length: " + std::to_string(size) +
                           "\r\nConnection: close\r\n";
        if (!r.location.empty())
            head += "Location: " + r.location + "\r\n";
        head += "Content-Type: application/octet-stream\r\n\r\n";
        const off_t sent = r.kind == HttpRoute::Kind::Whole ? size : size / 2;
        if (r.kind == HttpRoute::Kind::Trickle) {
            if (sendAll(fd, head.data(), head.size()))
                trickle(fd, r.body);
            return;
        }
        if (sendAll(fd, head.data(), head.size())) {
            if (fileFd >= 0) {
                off_t offset = 0;
                while (offset<sent&& ::sendfile(fd, fileFd, &offset,
                                                static_cast<std::size_t>(sent - offset))> 0) {
                }
            } else {
                sendAll(fd, r.body.data(), static_cast<std::size_t>(sent));
            }
        }
        if (fileFd >= 0)
            ::close(fileFd);
        if (r.kind == HttpRoute::Kind::Stall)
            waitForClose(fd);
        else if (r.kind == HttpRoute::Kind::Whole)
            ::shutdown(fd, SHUT_WR), waitForClose(fd);
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::map<std::string, HttpRoute> routes_;
    std::vector<std::string> requests_;
    HttpRoute fallback_{404, "<!DOCTYPE html><title>404</title>missing"};
    std::thread thread_;
};

} // namespace tavrin::test
