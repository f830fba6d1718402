#include "FakeRecognitionService.h"

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

#include <chrono>

namespace {

std::string Json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

std::string Param(const std::string& header, const std::string& name)
{
    const std::string key = name + "=";
    size_t at = 0;
    while ((at = header.find(key, at)) != std::string::npos) {
        if (at == 0 || header[at - 1] == ' ' || header[at - 1] == ';')
            break;
        at += key.size();
    }
    if (at == std::string::npos)
        return std::string();
    at += key.size();
    if (at < header.size() && header[at] == '"') {
        const size_t end = header.find('"', at + 1);
        return header.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    }
    const size_t end = header.find(';', at);
    return header.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

LocalHttpServer::Answer JsonAnswer(int status, const std::string& body)
{
    LocalHttpServer::Answer answer;
    answer.status = status;
    answer.body = body;
    answer.contentType = "application/json; charset=utf-8";
    return answer;
}

} // namespace

FakeRecognitionService::FakeRecognitionService(std::vector<Song> songs) : m_songs(std::move(songs))
{
    m_server.SetHandler([this](const LocalHttpServer::Request& request) { return Handle(request); });
}

FakeRecognitionService::~FakeRecognitionService()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_ending = true;
    }
    m_changed.notify_all();
}

RecognitionSetup FakeRecognitionService::Setup(int identifyTimeoutMs, int serviceTimeoutMs,
                                               const QString& trackServiceBase) const
{
    RecognitionSetup setup;
    const QString base = QString::fromStdString(Address());
    setup.identifyBase = base;
    setup.accountsBase = trackServiceBase.isEmpty() ? base : trackServiceBase;
    setup.apiBase = setup.accountsBase;
    setup.accessKey = QByteArray(kAccessKey).toBase64();
    setup.accessSecret = QByteArray(kAccessSecret).toBase64();
    setup.clientId = QByteArray(kClientId).toBase64();
    setup.clientSecret = QByteArray(kClientSecret).toBase64();
    setup.identifyTimeoutMs = identifyTimeoutMs;
    setup.serviceTimeoutMs = serviceTimeoutMs;
    return setup;
}

void FakeRecognitionService::SetOverride(Route route, const Override& answer)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_overrides[route] = answer;
}

void FakeRecognitionService::ClearOverrides()
{
    ReleaseStalls();
    std::lock_guard<std::mutex> guard(m_lock);
    m_overrides.clear();
}

void FakeRecognitionService::ReleaseStalls()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_releases;
    }
    m_changed.notify_all();
}

std::vector<FakeRecognitionService::Form> FakeRecognitionService::Forms() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_forms;
}

std::vector<LocalHttpServer::Request> FakeRecognitionService::Requests(Route route) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests[route];
}

size_t FakeRecognitionService::Count(Route route) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests[route].size();
}

bool FakeRecognitionService::WaitFor(Route route, size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_requests[route].size() >= count; });
}

QByteArray FakeRecognitionService::PictureFor(const std::string& trackId, int height)
{
    // A real JPEG whose colour tells the track and the size apart.
    const uint hash = qHash(QString::fromStdString(trackId)) ^ static_cast<uint>(height * 2654435761u);
    QImage image(height, height, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(static_cast<QRgb>(hash | 0xff000000u)));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

FakeRecognitionService::Form FakeRecognitionService::ReadForm(const LocalHttpServer::Request& request) const
{
    Form form;
    const std::string boundary = "--" + Param(request.Header("content-type"), "boundary");
    const std::string& body = request.body;
    size_t at = body.find(boundary);
    while (at != std::string::npos) {
        at += boundary.size();
        if (body.compare(at, 2, "--") == 0)
            break;   // the closing boundary
        at += 2;     // CRLF
        const size_t headEnd = body.find("\r\n\r\n", at);
        if (headEnd == std::string::npos)
            break;
        Part part;
        size_t line = at;
        while (line < headEnd) {
            size_t lineEnd = body.find("\r\n", line);
            if (lineEnd == std::string::npos || lineEnd > headEnd)
                lineEnd = headEnd;
            const std::string header = body.substr(line, lineEnd - line);
            const size_t colon = header.find(':');
            if (colon != std::string::npos) {
                const std::string name = Lower(header.substr(0, colon));
                std::string value = header.substr(colon + 1);
                value.erase(0, value.find_first_not_of(' '));
                if (name == "content-disposition")
                    part.disposition = value;
                else if (name == "content-type")
                    part.contentType = value;
            }
            line = lineEnd + 2;
        }
        const size_t next = body.find("\r\n" + boundary, headEnd + 4);
        if (next == std::string::npos)
            break;
        part.body = body.substr(headEnd + 4, next - headEnd - 4);
        const std::string name = Param(part.disposition, "name");
        form.names.push_back(name);
        form.parts[name] = part;
        at = next + 2;
    }

    auto text = [&](const char* name) { return form.parts.count(name) ? form.parts[name].body : std::string(); };
    const std::string signedText = "POST\n/v1/identify\n" + text("access_key") + "\n" + text("data_type") + "\n"
                                   + text("signature_version") + "\n" + text("timestamp");
    const QByteArray expected = QMessageAuthenticationCode::hash(QByteArray::fromStdString(signedText),
                                                                 QByteArray(kAccessSecret), QCryptographicHash::Sha1)
                                    .toBase64();
    form.signatureValid = text("access_key") == kAccessKey && text("signature") == expected.toStdString();
    return form;
}

LocalHttpServer::Answer FakeRecognitionService::Handle(const LocalHttpServer::Request& request)
{
    Route route = RouteCount;
    if (request.line.rfind("POST /v1/identify ", 0) == 0)
        route = Identify;
    else if (request.line.rfind("POST /api/token ", 0) == 0)
        route = Token;
    else if (request.line.rfind("GET /v1/tracks/", 0) == 0)
        route = Track;
    else if (request.line.rfind("GET /images/", 0) == 0)
        route = Image;
    if (route == RouteCount)
        return JsonAnswer(404, R"({"error":"no such route"})");

    const Form form = route == Identify ? ReadForm(request) : Form();
    Override override;
    bool overridden = false;
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_requests[route].push_back(request);
        if (route == Identify)
            m_forms.push_back(form);
        m_changed.notify_all();
        const auto it = m_overrides.find(route);
        if (it != m_overrides.end()) {
            override = it->second;
            overridden = true;
            const unsigned releases = m_releases;
            if (override.stall)
                m_changed.wait(guard, [&] { return m_releases != releases || m_ending; });
        }
    }
    if (overridden && !override.thenAnswer)
        return JsonAnswer(override.status, override.body);
    return Answer(route, request, form);
}

LocalHttpServer::Answer FakeRecognitionService::Answer(Route route, const LocalHttpServer::Request& request,
                                                       const Form& form)
{
    switch (route) {
    case Identify: {
        if (!form.signatureValid)
            return JsonAnswer(200, R"({"status":{"msg":"Invalid signature","code":3003,"version":"1.0"}})");
        Song song;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            if (m_songs.empty())
                return JsonAnswer(200, R"({"status":{"msg":"No result","code":1001,"version":"1.0"}})");
            song = m_songs[std::min(m_nextSong, m_songs.size() - 1)];
            ++m_nextSong;
        }
        QJsonObject music{
            {"title", QString::fromStdString(song.title)},
            {"artists", QJsonArray{QJsonObject{{"name", QString::fromStdString(song.artist)}},
                                   QJsonObject{{"name", "Featured Guest"}}}},
            {"album", QJsonObject{{"name", QString::fromStdString(song.album)}}},
            {"release_date", QString::fromStdString(song.releaseDate)},
            {"genres", QJsonArray{QJsonObject{{"name", QString::fromStdString(song.genre)}}}},
            {"duration_ms", static_cast<qint64>(song.durationMs)},
            {"score", 100},
            {"play_offset_ms", 12000},
        };
        if (!song.trackId.empty())
            music.insert("external_metadata",
                         QJsonObject{{"spotify",
                                      QJsonObject{{"track", QJsonObject{{"id", QString::fromStdString(song.trackId)},
                                                                        {"name", QString::fromStdString(song.title)}}},
                                                  {"album", QJsonObject{{"name", "Other album name"}}}}}});
        const QJsonObject answer{
            {"status", QJsonObject{{"msg", "Success"}, {"code", 0}, {"version", "1.0"}}},
            {"result_type", 0},
            {"metadata", QJsonObject{{"timestamp_utc", "2024-01-01 10:00:00"}, {"music", QJsonArray{music}}}},
            {"cost_time", 0.25},
        };
        return JsonAnswer(200, Json(answer));
    }
    case Token: {
        const std::string basic = "Basic " + QByteArray(std::string(kClientId).append(":").append(kClientSecret).c_str())
                                                 .toBase64()
                                                 .toStdString();
        if (request.Header("authorization") != basic || request.body != "grant_type=client_credentials"
            || request.Header("content-type") != "application/x-www-form-urlencoded")
            return JsonAnswer(400, R"({"error":"invalid_client"})");
        return JsonAnswer(200, Json({{"access_token", kToken}, {"token_type", "Bearer"}, {"expires_in", 3600}}));
    }
    case Track: {
        if (request.Header("authorization") != std::string("Bearer ") + kToken)
            return JsonAnswer(401, R"({"error":{"status":401,"message":"Invalid access token"}})");
        const std::string path = request.line.substr(4, request.line.find(' ', 4) - 4);
        const std::string id = path.substr(std::string("/v1/tracks/").size());
        const QString images = QString::fromStdString(Address()) + "/images/" + QString::fromStdString(id);
        QJsonArray list;
        for (int height : {640, 300, 64})
            list.append(QJsonObject{{"height", height}, {"width", height},
                                    {"url", images + "-" + QString::number(height) + ".jpg"}});
        const QJsonObject track{
            {"id", QString::fromStdString(id)},
            {"album", QJsonObject{{"name", "Album"}, {"images", list}}},
            {"duration_ms", 200000},
        };
        return JsonAnswer(200, Json(track));
    }
    case Image: {
        // /images/<id>-<height>.jpg
        const std::string path = request.line.substr(4, request.line.find(' ', 4) - 4);
        const std::string name = path.substr(std::string("/images/").size());
        const size_t dash = name.rfind('-');
        const std::string id = name.substr(0, dash);
        const int height = std::atoi(name.c_str() + dash + 1);
        QByteArray picture = PictureFor(id, height);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            for (const Song& song : m_songs)
                if (song.trackId == id && height == 300 && !song.cover.isEmpty())
                    picture = song.cover;
        }
        LocalHttpServer::Answer answer;
        answer.body = picture.toStdString();
        answer.contentType = "image/jpeg";
        return answer;
    }
    default:
        return JsonAnswer(404, "{}");
    }
}
