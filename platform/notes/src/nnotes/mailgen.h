// Mail documents as the seed fixture and the generator write them, on a store.
#pragma once

#include "notes/admin/mail.h"
#include "store.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace notes {

namespace mail {
void fill(const Message& m, Note* note); // the items of a new note
void fill(Message&& m, Note* note);      // ... taking the file bytes instead of copying them
// Stores messages in one transaction; inbox mail goes into "($Inbox)"; read mail leaves the unread
// list. ids (if given) receives the new note ids in order.
STATUS store(Database& db, const std::vector<Message>& messages, std::vector<NOTEID>* ids = nullptr);
STATUS store(Database& db, std::vector<Message>&& messages, std::vector<NOTEID>* ids = nullptr);
// `count` realistic inbox memos (a third unread, some replied, some with attachments), delivered
// over the `days` days before `now`, stored in batches of `batch`; progress(done) after each batch.
STATUS generate(Database& db, std::size_t count, std::uint32_t seed, std::int64_t now, int days,
                std::size_t batch, const std::function<void(std::size_t)>& progress);
} // namespace mail

} // namespace notes
