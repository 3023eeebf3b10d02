#include "server/Credentials.h"

#include <crypt.h>

#include <fstream>
#include <memory>
#include <stdexcept>

namespace quorix::provider {
namespace {

// Takes as long for every pair of texts of one length.
bool sameText(const std::string& a, const std::string& b) {
  unsigned char diff = a.size() != b.size();
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

bool matchesHash(const std::string& password, const std::string& hash) {
  auto data = std::make_unique<crypt_data>();  // large, and per call: calls run in parallel
  const char* out = crypt_rn(password.c_str(), hash.c_str(), data.get(), sizeof *data);
  // crypt(3) stops at a NUL; such a password is never the one stored.
  return out && sameText(out, hash) && password.find('\0') == std::string::npos;
}

}  // namespace

void Credentials::addPlain(const std::string& name, const std::string& password) {
  users_[name] = Secret{false, password};
}

std::string Credentials::addFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return "cannot read " + path;
  std::map<std::string, Secret> read;
  std::string line, decoy;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string where = path + ": line " + std::to_string(number) + ": ";
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return where + "not NAME:HASH";
    std::string name = line.substr(0, colon), hash = line.substr(colon + 1);
    if (crypt_checksalt(hash.c_str()) != CRYPT_SALT_OK)
      return where + "not a crypt(3) hash of a method still considered strong "
                     "(make one with quorix-provider --hash-password)";
    if (read.count(name) || users_.count(name)) return where + name + " is given twice";
    if (decoy.empty()) decoy = hash;
    read[name] = Secret{true, hash};
  }
  users_.merge(read);
  if (decoy_.empty()) decoy_ = decoy;
  return "";
}

bool Credentials::accepts(const std::string& name, const std::string& password) const {
  auto it = users_.find(name);
  if (it == users_.end()) {
    if (!decoy_.empty()) (void)matchesHash(password, decoy_);
    return false;
  }
  const Secret& s = it->second;
  return s.hashed ? matchesHash(password, s.text) : sameText(password, s.text);
}

std::string hashPassword(const std::string& password) {
  char setting[CRYPT_GENSALT_OUTPUT_SIZE];
  if (!crypt_gensalt_rn(nullptr, 0, nullptr, 0, setting, sizeof setting))
    throw std::runtime_error("crypt(3) made no salt");
  auto data = std::make_unique<crypt_data>();
  const char* out = crypt_rn(password.c_str(), setting, data.get(), sizeof *data);
  if (!out || out[0] == '*') throw std::runtime_error("crypt(3) made no hash");
  return out;
}

}  // namespace quorix::provider
