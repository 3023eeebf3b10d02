#pragma once
// Who may connect: names with a password in clear text (--user, for tests)
// or with a salted crypt(3) hash (--users FILE). Checking an unknown name
// costs what checking a wrong password does, so the time a refusal takes
// does not tell which names exist.
#include <map>
#include <string>

namespace quorix::provider {

class Credentials {
 public:
  void addPlain(const std::string& name, const std::string& password);
  // NAME:HASH lines; blank lines and lines starting with # are skipped.
  // "" when every line was taken, else what is wrong (nothing is taken).
  std::string addFile(const std::string& path);

  bool empty() const { return users_.empty(); }
  bool accepts(const std::string& name, const std::string& password) const;

 private:
  struct Secret {
    bool hashed;
    std::string text;
  };
  std::map<std::string, Secret> users_;
  std::string decoy_;  // what an unknown name is checked against: the first hash read
};

// A new salted hash of `password` by crypt(3)'s preferred method (yescrypt on
// Debian 12); throws std::runtime_error when crypt(3) fails.
std::string hashPassword(const std::string& password);

}  // namespace quorix::provider
