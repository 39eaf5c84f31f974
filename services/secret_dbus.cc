// SECRET on the desktop's Secret Service through libsecret: items of the launcher's own schema
// (attributes service and account) in the default collection. Every call is asynchronous; a
// locked collection is unlocked by the keyring's own prompt while the wire keeps flowing.
#include <gio/gio.h>
#include <libsecret/secret.h>

#include "services/pending_replies.h"
#include "services/secret_dbus.h"
#include "wire/link.h"

namespace {

constexpr const char* kOk = "{\"ok\":true}";

const SecretSchema* schema() {
  static const SecretSchema s = [] {
    SecretSchema x{};
    x.name = "org.kelojs.Secret";
    x.flags = SECRET_SCHEMA_NONE;
    x.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
    x.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
    return x;
  }();
  return &s;
}

bool is_utf8(const std::string& text) {
  return g_utf8_validate_len(text.data(), text.size(), nullptr);
}

// One request on its way through libsecret; the attribute table points into the strings.
struct SecretJob {
  uint64_t ticket = 0;
  std::string service;
  std::string account;
  GHashTable* attributes = nullptr;

  SecretJob(uint64_t t, std::string s, std::string a)
      : ticket(t), service(std::move(s)), account(std::move(a)) {
    attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char*>("service"), service.data());
    g_hash_table_insert(attributes, const_cast<char*>("account"), account.data());
  }
  ~SecretJob() { g_hash_table_unref(attributes); }
  SecretJob(const SecretJob&) = delete;
  SecretJob& operator=(const SecretJob&) = delete;

  void answer(std::string_view json) const { service_replies().answer(ticket, json); }
  // The error's code, or the answer when there is none.
  void answer_or_error(GError* error, std::string_view json) const {
    if (error) {
      answer(keychain_error_json(error->code));
      g_error_free(error);
    } else {
      answer(json);
    }
  }
};

std::unique_ptr<SecretJob> take(gpointer data) {
  return std::unique_ptr<SecretJob>(static_cast<SecretJob*>(data));
}

using ItemList = std::unique_ptr<GList, void (*)(GList*)>;

void free_items(GList* items) {
  g_list_free_full(items, g_object_unref);
}

// The matching items, once the keyring has been asked to unlock them; false, after answering
// with the error, when the search failed.
bool found_items(const SecretJob& job, GAsyncResult* result, ItemList& items) {
  GError* error = nullptr;
  items.reset(secret_service_search_finish(nullptr, result, &error));
  if (!error) return true;
  job.answer(keychain_error_json(error->code));
  g_error_free(error);
  return false;
}

// Items the user did not unlock: they exist, so "none" would be a wrong answer.
bool any_locked(GList* items) {
  for (GList* l = items; l; l = l->next) {
    if (secret_item_get_locked(SECRET_ITEM(l->data))) return true;
  }
  return false;
}

void on_lookup(GObject*, GAsyncResult* result, gpointer data) {
  auto job = take(data);
  ItemList items(nullptr, free_items);
  if (!found_items(*job, result, items)) return;
  if (any_locked(items.get())) return job->answer(keychain_error_json(SECRET_ERROR_IS_LOCKED));
  std::optional<std::string> text;
  if (items) {
    if (SecretValue* value = secret_item_get_secret(SECRET_ITEM(items->data))) {
      gsize length = 0;
      const gchar* bytes = secret_value_get(value, &length);
      if (g_utf8_validate_len(bytes, length, nullptr)) text.emplace(bytes, length);
      secret_value_unref(value);
    }
  }
  job->answer(secret_value_json(text));
}

void on_store(GObject*, GAsyncResult* result, gpointer data) {
  auto job = take(data);
  GError* error = nullptr;
  secret_password_store_finish(result, &error);
  job->answer_or_error(error, kOk);
}

void on_clear(GObject*, GAsyncResult* result, gpointer data) {
  auto job = take(data);
  GError* error = nullptr;
  secret_password_clear_finish(result, &error);
  job->answer_or_error(error, kOk);
}

// Deleting nothing is fine, unless what is there stayed locked.
void on_found_to_delete(GObject*, GAsyncResult* result, gpointer data) {
  auto job = take(data);
  ItemList items(nullptr, free_items);
  if (!found_items(*job, result, items)) return;
  if (any_locked(items.get())) return job->answer(keychain_error_json(SECRET_ERROR_IS_LOCKED));
  if (!items) return job->answer(kOk);
  GHashTable* attributes = job->attributes;
  secret_password_clearv(schema(), attributes, nullptr, on_clear, job.release());
}

}  // namespace

void do_secret(webview_t, std::unique_ptr<SecretReq> req) {
  SecretOp op = secret_op(req->op);
  if (op == SecretOp::Unknown) {
    send_reply(req->id, "{\"ok\":false,\"error\":\"unknown secret op\"}");
    return;
  }
  // The Secret Service carries attributes as D-Bus strings: UTF-8 without NUL.
  if (!is_utf8(req->service) || !is_utf8(req->account)) {
    send_reply(req->id, keychain_error_json(G_IO_ERROR_INVALID_ARGUMENT));
    return;
  }
  uint64_t ticket = service_replies().open(req->id, keychain_error_json(G_IO_ERROR_CANCELLED));
  auto* job = new SecretJob(ticket, std::move(req->service), std::move(req->account));
  if (op == SecretOp::Get) {
    auto flags = SecretSearchFlags(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS);
    secret_service_search(nullptr, schema(), job->attributes, flags, nullptr, on_lookup, job);
  } else if (op == SecretOp::Del) {
    auto flags = SecretSearchFlags(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_ALL);
    secret_service_search(nullptr, schema(), job->attributes, flags, nullptr, on_found_to_delete,
                          job);
  } else {
    const std::string& v = req->value;
    SecretValue* value = secret_value_new(v.data(), static_cast<gssize>(v.size()),
                                          is_utf8(v) ? "text/plain" : "application/octet-stream");
    std::string label = job->service + " (" + job->account + ")";
    // An item with the same attributes is replaced.
    secret_password_storev_binary(schema(), job->attributes, SECRET_COLLECTION_DEFAULT,
                                  label.c_str(), value, nullptr, on_store, job);
    secret_value_unref(value);
  }
}
