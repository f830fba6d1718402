#pragma once

// The recognition service and the track service on 127.0.0.1 for the
// recognition tests, answering the way the real ones do:
//   POST /v1/identify      reads the multipart form, checks its signature with
//                          the test account's secret, answers with the next song
//                          (or "Invalid signature" / "No result");
//   POST /api/token        checks the client's Basic credentials and the grant;
//   GET  /v1/tracks/<id>   checks the Bearer token, lists three cover sizes;
//   GET  /images/<id>-<h>.jpg  the cover picture of that size.
// Any route can instead answer a given status and body, or stall until
// ReleaseStalls (or the end of the service) and then answer that or its own.
//
// This folder has no CMakeLists.txt of its own; a test lists the .cpp by path
// (together with LocalHttpServer.cpp) and links the recognition client.

#include "LocalHttpServer.h"
#include "RecognitionSetup.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class FakeRecognitionService
{
public:
    struct Song {
        std::string title;
        std::string artist;
        std::string album;
        std::string releaseDate;
        std::string genre;
        unsigned durationMs = 0;
        std::string trackId;   // empty: the answer names no track
        QByteArray cover;      // the 300-pixel picture
    };
    enum Route { Identify, Token, Track, Image, RouteCount };
    struct Override {
        int status = 200;
        std::string body;
        bool stall = false;
        // After the stall, the service's own answer instead of status and body.
        bool thenAnswer = false;
    };
    struct Part {
        std::string disposition;
        std::string contentType;
        std::string body;
    };
    // One identify request as the service read it.
    struct Form {
        std::vector<std::string> names;   // in the order they came
        std::map<std::string, Part> parts;
        bool signatureValid = false;
    };

    static constexpr const char* kAccessKey = "fake-access-key-0123456789abcdef";
    static constexpr const char* kAccessSecret = "fake-access-secret-0123456789abcdef01234";
    static constexpr const char* kClientId = "fake-client-id-0123456789abcdef0";
    static constexpr const char* kClientSecret = "fake-client-secret-0123456789abc";
    static constexpr const char* kToken = "fake-token-Zm9vYmFy";

    // Successive identify requests get the songs in turn (the last repeats).
    explicit FakeRecognitionService(std::vector<Song> songs);
    ~FakeRecognitionService();

    // Both services on this server; `trackServiceBase` replaces the track
    // service's bases (a TLS front, say). Short time-outs unless given.
    RecognitionSetup Setup(int identifyTimeoutMs = 5000, int serviceTimeoutMs = 10000,
                           const QString& trackServiceBase = QString()) const;

    void SetOverride(Route route, const Override& answer);
    void ClearOverrides();
    void ReleaseStalls();

    std::vector<Form> Forms() const;
    std::vector<LocalHttpServer::Request> Requests(Route route) const;
    size_t Count(Route route) const;
    // Waits until `count` requests of `route` arrived; false after the time-out.
    bool WaitFor(Route route, size_t count, int timeoutMs) const;

    int Port() const { return m_server.Port(); }
    std::string Address() const { return m_server.Address(); }

    // The picture the image route serves for a track id and height.
    static QByteArray PictureFor(const std::string& trackId, int height);

private:
    LocalHttpServer::Answer Handle(const LocalHttpServer::Request& request);
    LocalHttpServer::Answer Answer(Route route, const LocalHttpServer::Request& request, const Form& form);
    Form ReadForm(const LocalHttpServer::Request& request) const;

    std::vector<Song> m_songs;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::map<Route, Override> m_overrides;
    std::vector<LocalHttpServer::Request> m_requests[RouteCount];
    std::vector<Form> m_forms;
    size_t m_nextSong = 0;
    unsigned m_releases = 0;   // a stall ends when this changes
    bool m_ending = false;
    LocalHttpServer m_server;   // last: its thread ends first
};
