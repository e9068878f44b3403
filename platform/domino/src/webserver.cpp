#include "domino/webserver.h"

#include "auth.h"
#include "elements.h"
#include "memo.h"
#include "people.h"
#include "text.h"

#include <httplib.h>

#include <atomic>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <thread>

namespace domino {

namespace {

struct Answer {
    Answer(int s, std::string b, std::string type = "text/html; charset=UTF-8")
        : status(s), body(std::move(b)), contentType(std::move(type)) {}
    int status;
    std::string body;
    std::string contentType;
    std::string disposition; // Content-Disposition of a file download
};

std::string hostName(const std::string& host) {
    if (!host.empty() && host.front() == '[') {
        return host.substr(0, host.find(']') + 1);
    }
    return host.substr(0, host.find(':'));
}

// The raw target split into decoded path segments and the query; nullopt when a segment is
// undecodable or names a parent folder.
std::optional<std::vector<std::string>> segmentsOf(const std::string& target, std::string* query) {
    const std::size_t q = target.find('?');
    *query = q == std::string::npos ? "" : target.substr(q + 1);
    const std::string path = target.substr(0, q);
    if (path.empty() || path.front() != '/') {
        return std::nullopt;
    }
    std::vector<std::string> out;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        auto seg = percentDecode(std::string_view(path).substr(start, end - start));
        if (!seg || *seg == "." || *seg == ".." || seg->find_first_of("/\\") != std::string::npos) {
            return std::nullopt;
        }
        if (!seg->empty()) {
            out.push_back(*seg);
        }
        start = end + 1;
    }
    return out;
}

bool isUnid(const std::string& s) {
    if (s.size() != 32) {
        return false;
    }
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

std::string page(int status, const char* title) {
    return "<html><head><title>" + std::to_string(status) + " " + title + "</title></head><body><h1>" +
           title + "</h1></body></html>\n";
}

Answer notFound() {
    return {404, page(404, "Not Found")};
}

// "0.<k>" (a picture) and "M<k>" (a MIME leaf part): k decimal, small enough to be an index.
std::optional<std::size_t> elementNumber(const std::string& text, const char* prefix) {
    const std::size_t skip = std::strlen(prefix);
    if (text.size() <= skip || text.size() > skip + 6 || !equalsNoCase(text.substr(0, skip), prefix)) {
        return std::nullopt;
    }
    std::size_t n = 0;
    for (std::size_t i = skip; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
            return std::nullopt;
        }
        n = n * 10 + static_cast<std::size_t>(text[i] - '0');
    }
    return n;
}

// The folder name of a server named by its common name, if the data directory has one.
std::optional<std::string> serverFolderName(const notes::DataDirectory& dir, const std::string& name) {
    std::string folder;
    if (notes::commonName(name).empty() || dir.serverFolder(name, &folder) != NOERROR) {
        return std::nullopt;
    }
    return std::filesystem::path(folder).filename().string();
}

Answer resourceAnswer(std::optional<Resource> r) {
    if (!r) {
        return notFound();
    }
    Answer a(200, std::move(r->bytes), std::move(r->contentType));
    if (!r->fileName.empty()) {
        a.disposition = contentDisposition(r->fileName);
    }
    return a;
}

} // namespace

struct WebServer::Impl {
    notes::DataDirectory folder;
    Options options;
    Authenticator auth;
    httplib::Server http;
    std::thread thread;
    std::atomic<int> port{0};
    bool started = false;
    std::atomic<std::uint64_t> requests{0};

    Impl(std::string dataDir, Options opts)
        : folder(std::move(dataDir)), options(std::move(opts)),
          auth(folder, options.credentialLifetime, options.credentialCacheSize, options.clock,
               options.accessLog) {}

    // Which server a request addresses, and the database part of its path: the Host header when it
    // names a server (as the mail plug-in addresses it), else the first path segment, else the only
    // server of the folder.
    std::optional<std::string> route(const httplib::Request& req, std::vector<std::string>* segments) const {
        if (auto s = serverFolderName(folder, hostName(req.get_header_value("Host")));
            s && !equalsNoCase(*s, "localhost")) {
            return s;
        }
        if (!segments->empty()) {
            if (auto s = serverFolderName(folder, segments->front())) {
                segments->erase(segments->begin());
                return s;
            }
        }
        const auto all = folder.servers();
        if (all.size() == 1) {
            return all.front();
        }
        return std::nullopt;
    }

    Answer serve(const httplib::Request& req, const Person& user) const {
        std::string query;
        auto segments = segmentsOf(req.target, &query);
        if (!segments) {
            return {404, page(404, "Not Found")};
        }
        const auto server = route(req, &*segments);
        // The database path runs up to the first segment that ends in ".nsf".
        std::size_t nsf = 0;
        while (nsf < segments->size() && !endsWithNoCase((*segments)[nsf], ".nsf")) {
            ++nsf;
        }
        if (!server || nsf == segments->size()) {
            return {404, page(404, "Not Found")};
        }
        std::vector<std::string> dbSegments(segments->begin(),
                                            segments->begin() + static_cast<long>(nsf) + 1);
        std::vector<std::string> rest(segments->begin() + static_cast<long>(nsf) + 1, segments->end());
        const auto file = folder.existingFile(*server, dbSegments);
        if (!file) {
            return {404, page(404, "Not Found")};
        }
        std::string dbPath;
        for (const std::string& s : dbSegments) {
            dbPath += (dbPath.empty() ? "" : "/") + s;
        }
        // Only the owner reads a mail file.
        if (!equalsNoCase(notes::commonName(user.mailServer), *server) ||
            normalDatabasePath(user.mailFile) != normalDatabasePath(dbPath)) {
            return {403, page(403, "Forbidden")};
        }
        const std::string command = query.substr(0, query.find('&'));
        const bool plain = command.empty();
        if (rest.size() == 2 && (plain || equalsNoCase(command, "OpenDocument"))) {
            return openDocument(*file, *server, dbPath, rest[0], rest[1], [](Document& doc) {
                return Answer{200, renderMemo(doc.note, doc.context)};
            });
        }
        // What a page links to below its document: pictures and MIME parts of "Body", and files.
        if (rest.size() == 4 && (plain || equalsNoCase(command, "OpenElement"))) {
            const std::string element = rest[3];
            if (equalsNoCase(rest[2], "Body")) {
                if (auto k = elementNumber(element, "0.")) {
                    return openDocument(*file, *server, dbPath, rest[0], rest[1], [k](Document& doc) {
                        return resourceAnswer(pictureElement(doc.note, *k));
                    });
                }
                if (auto k = elementNumber(element, "M")) {
                    return openDocument(*file, *server, dbPath, rest[0], rest[1], [k](Document& doc) {
                        return resourceAnswer(mimeElement(doc.note, *k));
                    });
                }
            } else if (equalsNoCase(rest[2], "$FILE")) {
                return openDocument(*file, *server, dbPath, rest[0], rest[1], [&element](Document& doc) {
                    return resourceAnswer(attachedFile(doc.note, element));
                });
            }
        }
        return notFound();
    }

    struct Document {
        std::shared_ptr<notes::Database> database;
        notes::Note note;
        PageContext context;
    };

    // Finds the document (the view must exist, "0" stands for any) and hands it to `answer`.
    template <typename AnswerFn>
    Answer openDocument(const std::string& file, const std::string& server, const std::string& dbPath,
                        const std::string& view, const std::string& unidText, AnswerFn answer) const {
        UNID unid{};
        if (!isUnid(unidText) || !notes::unidFromText(unidText, &unid)) {
            return notFound();
        }
        Document doc;
        if (notes::Database::open(file, server, dbPath, &doc.database) != NOERROR) {
            return notFound();
        }
        NOTEID viewId = 0;
        if (view != "0" && doc.database->findDesign(NOTE_CLASS_VIEW, view, &viewId) != NOERROR) {
            return notFound();
        }
        NOTEID id = 0;
        if (doc.database->findByUnid(unid, &id) != NOERROR || doc.database->load(id, &doc.note) != NOERROR ||
            (doc.note.info.noteClass & NOTE_CLASS_DOCUMENT) == 0) {
            return notFound();
        }
        doc.note.db = doc.database; // attachment bytes are read through it
        doc.context = PageContext{"/" + dbPath, view, notes::unidToText(unid)};
        return answer(doc);
    }

    void handle(const httplib::Request& req, httplib::Response& res) {
        ++requests;
        std::string who = "-";
        const auto user = auth.authenticate(req.get_header_value("Authorization"));
        if (!user) {
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"" + options.realm + "\"");
            res.set_content(page(401, "Unauthorized"), "text/html; charset=UTF-8");
        } else {
            who = latin1ToUtf8(notes::abbreviateName(user->fullName));
            Answer a = req.method == "GET" || req.method == "HEAD"
                           ? serve(req, *user)
                           : Answer{405, page(405, "Method Not Allowed")};
            res.status = a.status;
            if (!a.disposition.empty()) {
                res.set_header("Content-Disposition", a.disposition);
            }
            res.set_content(a.body, a.contentType);
            res.set_header("X-Content-Type-Options", "nosniff");
        }
        if (options.accessLog) {
            // The path without its query: nothing a client sends after '?' reaches the log.
            std::string path = req.target.substr(0, req.target.find('?'));
            for (char& c : path) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    c = '?';
                }
            }
            options.accessLog(req.remote_addr + " \"" + who + "\" " + req.method + " " + path + " " +
                              std::to_string(res.status));
        }
    }
};

WebServer::WebServer(std::string dataDir, Options options)
    : impl_(std::make_unique<Impl>(std::move(dataDir), std::move(options))) {}

WebServer::~WebServer() {
    stop();
}

void WebServer::start(int port) {
    if (impl_->started) {
        throw StartError("a web server starts once");
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(impl_->folder.root(), ec)) {
        throw StartError("not a data folder: " + impl_->folder.root());
    }
    if (port < 0 || port > 65535) {
        throw StartError("not a port: " + std::to_string(port));
    }
    auto handler = [this](const httplib::Request& req, httplib::Response& res) { impl_->handle(req, res); };
    impl_->http.Get(".*", handler);
    impl_->http.Post(".*", handler);
    impl_->http.Put(".*", handler);
    impl_->http.Delete(".*", handler);
    // Address reuse for quick restarts, but never port sharing: a busy port must fail to bind.
    impl_->http.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    impl_->http.set_read_timeout(10, 0);
    impl_->http.set_payload_max_length(64 * 1024);
    int bound = -1;
    if (port == 0) {
        bound = impl_->http.bind_to_any_port(impl_->options.bindAddress);
    } else if (impl_->http.bind_to_port(impl_->options.bindAddress, port)) {
        bound = port;
    }
    if (bound <= 0) {
        throw StartError("cannot listen on " + impl_->options.bindAddress + " port " + std::to_string(port) +
                         " (in use or not an address of this machine)");
    }
    impl_->port = bound;
    impl_->started = true;
    impl_->thread = std::thread([this] { impl_->http.listen_after_bind(); });
    // A stop() before the listener runs would be lost and leave it running for good.
    while (!impl_->http.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int WebServer::port() const {
    return impl_->port;
}

void WebServer::stop() {
    if (impl_->thread.joinable()) {
        impl_->http.stop();
        impl_->thread.join();
    }
}

bool WebServer::running() const {
    return impl_->thread.joinable() && impl_->http.is_running();
}

Stats WebServer::stats() const {
    return Stats{impl_->requests, impl_->auth.passwordChecks(), impl_->auth.cacheHits(),
                 impl_->auth.decoyChecks()};
}

} // namespace domino
