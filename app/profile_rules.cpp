#include "app/profile_rules.h"

#include <algorithm>
#include <set>

#include "util/text.h"

namespace brumkey {

const std::vector<std::wstring>& ForbiddenWords() {
  static const std::vector<std::wstring> words = {
      L"/", L"\\", L":", L"*", L"?", L"\"", L"<", L">", L"|",
      L"\t", L"\n", L"\v", L"\f", L"\r", L"\x7F",
  };
  return words;
}

bool ContainsForbiddenWord(const std::wstring& name) {
  const std::wstring lower = ToLowerAscii(name);
  return std::any_of(ForbiddenWords().begin(), ForbiddenWords().end(),
                     [&](const std::wstring& w) { return lower.find(w) != std::wstring::npos; });
}

std::wstring ProfileDisplayName(const std::wstring& stored, int language, const std::wstring& word65) {
  if (language == 1046 && stored.starts_with(L"Profile")) return word65 + stored.substr(7);
  if (language == 1033 && stored.starts_with(L"perfil")) return word65 + stored.substr(6);
  return stored;
}

ProfileRules::ProfileRules(ProfileStore& store, std::function<std::wstring(int)> text,
                           std::function<int()> language)
    : store_(store), text_(std::move(text)), language_(std::move(language)) {}

bool ProfileRules::ValidateName(const std::wstring& name) { return !name.empty() && !ContainsForbiddenWord(name); }

bool ProfileRules::Exists(const std::vector<ProfileInfo>& list, int id) const {
  return std::any_of(list.begin(), list.end(), [&](const ProfileInfo& p) { return p.profile == id; });
}

std::vector<ProfileInfo> ProfileRules::LoadList() {
  ProfileStore::Lock lock = store_.Hold();
  std::vector<ProfileInfo> list;
  if (store_.LoadProfiles(list) == 0 && store_.IsOpen()) {
    const std::wstring word = text_(65);
    int first = 0;
    for (int n = 1; n <= 3; ++n) {
      ProfileInfo p;
      p.name = word + L" " + std::to_wstring(n);
      int id = store_.AddProfile(p);
      if (n == 1) {
        first = id;
        store_.WriteDefaultConfig();
      }
    }
    if (first > 0) store_.SetActiveProfile(first);
    store_.LoadProfiles(list);
  }
  if (!list.empty()) {
    int active = store_.GetActiveProfile();
    if (active == 0 || !Exists(list, active)) {
      store_.SetActiveProfile(list.front().profile);
      store_.LoadProfiles(list);
    }
  }
  return list;
}

int ProfileRules::CurrentProfile() {
  std::vector<ProfileInfo> list = LoadList();
  return list.empty() ? 0 : store_.GetActiveProfile();
}

std::vector<std::wstring> ProfileRules::DisplayNames(const std::vector<ProfileInfo>& list) const {
  const std::wstring word = text_(65);
  const int language = language_();
  std::vector<std::wstring> names;
  names.reserve(list.size());
  for (const ProfileInfo& p : list) names.push_back(ProfileDisplayName(p.name, language, word));
  return names;
}

ProfileResult ProfileRules::Add(const std::wstring* name, int& newId, std::wstring& usedName) {
  ProfileStore::Lock lock = store_.Hold();
  std::vector<ProfileInfo> list = LoadList();
  if (static_cast<int>(list.size()) >= kMaxProfiles) return ProfileResult::LimitReached;
  if (name) {
    if (!ValidateName(*name)) return ProfileResult::InvalidName;
    usedName = *name;
  } else {
    const std::vector<std::wstring> shown = DisplayNames(list);
    const std::set<std::wstring> taken(shown.begin(), shown.end());
    const std::wstring word = text_(65);
    for (int n = 1;; ++n) {
      usedName = word + L" " + std::to_wstring(n);
      if (!taken.count(usedName)) break;
    }
  }
  ProfileInfo p;
  p.name = usedName;
  newId = store_.AddProfile(p);
  if (newId <= 0) return ProfileResult::Failed;
  store_.SetActiveProfile(newId);
  return ProfileResult::Ok;
}

ProfileResult ProfileRules::Rename(int id, const std::wstring& name) {
  ProfileStore::Lock lock = store_.Hold();
  if (!Exists(LoadList(), id)) return ProfileResult::NotFound;
  if (!ValidateName(name)) return ProfileResult::InvalidName;
  return store_.RenameProfile(id, name) ? ProfileResult::Ok : ProfileResult::Failed;
}

ProfileResult ProfileRules::Delete(int id) {
  ProfileStore::Lock lock = store_.Hold();
  std::vector<ProfileInfo> list = LoadList();
  if (!Exists(list, id)) return ProfileResult::NotFound;
  if (list.size() <= 1) return ProfileResult::LastProfile;
  const bool wasActive = store_.GetActiveProfile() == id;
  if (!store_.DeleteProfile(id)) return ProfileResult::Failed;
  if (wasActive) {
    for (const ProfileInfo& p : list) {
      if (p.profile != id) {
        store_.SetActiveProfile(p.profile);
        break;
      }
    }
  }
  return ProfileResult::Ok;
}

ProfileResult ProfileRules::Select(int id) {
  ProfileStore::Lock lock = store_.Hold();
  if (!Exists(LoadList(), id)) return ProfileResult::NotFound;
  return store_.SetActiveProfile(id) ? ProfileResult::Ok : ProfileResult::Failed;
}

}  // namespace brumkey
