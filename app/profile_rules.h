#pragma once
// The rules the profile list follows, shared by the main window and
// brumkeyctl: first use, the active profile, the 200-profile limit, default
// names, the last profile that cannot be deleted, and display names.
#include <functional>
#include <string>
#include <vector>

#include "store/profile_store.h"

namespace brumkey {

inline constexpr int kMaxProfiles = 200;

// Characters a profile or macro name may not hold: names must stay usable
// as exchange-file names.
const std::vector<std::wstring>& ForbiddenWords();
// Tested on a lower-cased copy; the name itself is not changed.
bool ContainsForbiddenWord(const std::wstring& name);

// "%s%s" with string 65 when a stored name starts with the other language's
// word: "Profile" shown in 1046, "perfil" shown in 1033.
std::wstring ProfileDisplayName(const std::wstring& stored, int language, const std::wstring& word65);

enum class ProfileResult { Ok, LimitReached, InvalidName, NotFound, LastProfile, Failed };

class ProfileRules {
 public:
  // `text` returns language string n (the program passes GetLangString).
  ProfileRules(ProfileStore& store, std::function<std::wstring(int)> text, std::function<int()> language);

  // The stored profiles, after the first-use rule (three profiles and the
  // default configuration rows in an empty store) and the active-profile
  // rule (the first becomes active when none is).
  std::vector<ProfileInfo> LoadList();
  int CurrentProfile();
  // Display names of LoadList(), in list order.
  std::vector<std::wstring> DisplayNames(const std::vector<ProfileInfo>& list) const;

  // "%s %d" with the smallest free number; a given name must pass
  // ValidateName. The new profile becomes active on success.
  ProfileResult Add(const std::wstring* name, int& newId, std::wstring& usedName);
  ProfileResult Rename(int id, const std::wstring& name);
  // Keeps at least one profile; the first remaining one becomes active when
  // the active one goes.
  ProfileResult Delete(int id);
  // A profile id that does not exist changes nothing.
  ProfileResult Select(int id);

  static bool ValidateName(const std::wstring& name);

 private:
  bool Exists(const std::vector<ProfileInfo>& list, int id) const;

  ProfileStore& store_;
  std::function<std::wstring(int)> text_;
  std::function<int()> language_;
};

}  // namespace brumkey
