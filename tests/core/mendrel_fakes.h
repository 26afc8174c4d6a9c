#pragma once
// In-memory stand-ins for the registry, the process list and the file system
// of the Mendrel utility, behaving like Windows where the utility's decisions
// depend on it: key paths ignore letter case, values keep their order, a
// missing key fails to open, a written number value stays a number.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/mendrel/mendrel_actions.h"

namespace mendrel_test {

using namespace orvane;

class FakeRegistry : public RegistryAccessApi {
public:
    struct Value {
        std::string name;
        RegData data;
    };
    struct Key {
        std::string path;
        std::vector<Value> values;
    };

    // Creates the key with its parents.
    void Ensure(const std::string& path) {
        std::size_t pos = 0;
        while ((pos = path.find('\\', pos + 1)) != std::string::npos) Touch(path.substr(0, pos));
        Touch(path);
    }
    void Set(const std::string& path, const std::string& name, RegData data) {
        Ensure(path);
        auto& values = keys_[Fold(path)].values;
        for (auto& v : values)
            if (Fold(v.name) == Fold(name)) {
                v.data = std::move(data);
                return;
            }
        values.push_back({name, std::move(data)});
    }
    bool Has(const std::string& path) const { return keys_.count(Fold(path)) != 0; }
    const Value* Find(const std::string& path, const std::string& name) const {
        auto it = keys_.find(Fold(path));
        if (it == keys_.end()) return nullptr;
        for (const auto& v : it->second.values)
            if (Fold(v.name) == Fold(name)) return &v;
        return nullptr;
    }
    void RemoveKey(const std::string& path) {
        const std::string f = Fold(path);
        for (auto it = keys_.begin(); it != keys_.end();)
            it = (it->first == f || it->first.starts_with(f + "\\")) ? keys_.erase(it) : std::next(it);
    }

    int writes = 0;  // every change made through the interface

    // ---- the interface ----
    RegKeyRef OpenKey(const std::string& fullPath) override {
        auto it = keys_.find(Fold(fullPath));
        if (it == keys_.end()) throw RegistryKeyMissing(2, "Le fichier spécifié est introuvable.");
        return {it->second.path, it->second.path.substr(it->second.path.rfind('\\') + 1)};
    }
    std::vector<RegKeyRef> Subkeys(const RegKeyRef& key) override {
        std::vector<RegKeyRef> out;
        const std::string prefix = Fold(key.path) + "\\";
        for (const auto& [folded, k] : keys_)
            if (folded.starts_with(prefix) && folded.find('\\', prefix.size()) == std::string::npos)
                out.push_back({k.path, k.path.substr(prefix.size())});
        return out;
    }
    std::vector<RegValueRef> Values(const RegKeyRef& key) override {
        std::vector<RegValueRef> out;
        for (const auto& v : Get(key.path).values) out.push_back({key.path, v.name, v.data});
        return out;
    }
    void WriteData(const RegValueRef& value, const std::string& data) override {
        ++writes;
        for (auto& v : Get(value.keyPath).values)
            if (Fold(v.name) == Fold(value.name)) {
                if (std::holds_alternative<std::uint32_t>(v.data))
                    v.data = static_cast<std::uint32_t>(std::stoul(data));
                else
                    v.data = data;
                return;
            }
        throw MendrelError(2, "Le fichier spécifié est introuvable.");
    }
    void AddSubkey(const RegKeyRef& parent, const std::string& name) override {
        ++writes;
        Get(parent.path);
        Touch(parent.path + "\\" + name);
    }
    void RemoveSubkey(const RegKeyRef& parent, const std::string& name) override {
        ++writes;
        if (!Has(parent.path + "\\" + name)) throw MendrelError(2, "Le fichier spécifié est introuvable.");
        RemoveKey(parent.path + "\\" + name);
    }
    void AddValue(const RegKeyRef& key, const std::string& name, const std::string& data, int typeCode) override {
        ++writes;
        Get(key.path);
        if (typeCode == kRegTypeNumber)
            Set(key.path, name, static_cast<std::uint32_t>(std::stoul(data)));
        else
            Set(key.path, name, data);
    }
    void RemoveValue(const RegKeyRef& key, const std::string& name) override {
        ++writes;
        auto& values = Get(key.path).values;
        std::erase_if(values, [&](const Value& v) { return Fold(v.name) == Fold(name); });
    }

private:
    static std::string Fold(const std::string& s) { return LowerCase(s); }
    void Touch(const std::string& path) {
        if (!Has(path)) keys_[Fold(path)] = Key{path, {}};
    }
    Key& Get(const std::string& path) {
        auto it = keys_.find(Fold(path));
        if (it == keys_.end()) throw RegistryKeyMissing(2, "Le fichier spécifié est introuvable.");
        return it->second;
    }
    std::map<std::string, Key> keys_;
};

class FakeProcesses : public ProcessList {
public:
    std::uint32_t platform = kPlatformWin9x;
    std::uint32_t self = 1;
    bool snapshotFails = false;
    std::vector<ProcessEntry> running;
    std::set<std::uint32_t> protectedIds;  // cannot be opened
    std::vector<std::uint32_t> terminated;
    // Terminated, these stay listed (dying) until the next WaitForEnded, as
    // a process does while the system tears it down.
    std::set<std::uint32_t> slowToExit;
    std::vector<std::uint32_t> dying;
    std::vector<std::uint32_t> waitTimeouts;  // one per WaitForEnded

    std::uint32_t Add(const std::string& image) {
        running.push_back({next_, image});
        return next_++;
    }

    std::uint32_t PlatformId() override { return platform; }
    std::uint32_t CurrentProcessId() override { return self; }
    bool Snapshot(std::vector<ProcessEntry>& out) override {
        if (snapshotFails) return false;
        out = running;
        return true;
    }
    bool Terminate(std::uint32_t id) override {
        if (protectedIds.count(id)) return false;
        terminated.push_back(id);
        if (slowToExit.count(id))
            dying.push_back(id);
        else
            Remove(id);
        return true;
    }
    bool WaitForEnded(std::uint32_t timeoutMs) override {
        waitTimeouts.push_back(timeoutMs);
        for (const auto id : dying) Remove(id);
        dying.clear();
        return true;
    }
    bool Listed(const std::string& imageEnd) const {
        return std::any_of(running.begin(), running.end(),
                           [&](const ProcessEntry& e) { return ImagePathEndsWith(e.imagePath, imageEnd); });
    }

private:
    void Remove(std::uint32_t id) {
        std::erase_if(running, [&](const ProcessEntry& e) { return e.id == id; });
    }
    std::uint32_t next_ = 100;
};

class FakeEnvironment : public RepairEnvironment {
public:
    std::map<std::string, std::vector<std::string>> folders;  // folder -> file names
    std::map<std::string, std::string> files;                 // path -> text
    std::string drives = std::string("C:\\\0", 4);
    std::set<std::string> nonFixed;
    std::map<std::string, std::string> trees;  // root -> found StartBoost path
    std::vector<std::string> searched;
    std::vector<std::string> started;
    std::vector<std::string> reads;
    std::set<std::string> unstartable;  // command lines whose start fails
    // Programs (full paths) that quit at once when a copy is still listed.
    std::set<std::string> singleInstance;
    std::vector<std::string> refused;    // started but quit at once
    FakeProcesses* processes = nullptr;  // a started program joins the list
    int taskbarAnnouncements = 0;

    std::vector<std::string> ListFiles(const std::string& folder) override {
        auto it = folders.find(folder);
        if (it == folders.end()) throw MendrelError(76, "Chemin d'accès introuvable");
        return it->second;
    }
    std::string ReadFileText(const std::string& path) override {
        reads.push_back(path);
        auto it = files.find(path);
        if (it == files.end()) throw MendrelError(53, "Fichier introuvable");
        return it->second;
    }
    std::string LogicalDriveStrings() override { return drives; }
    bool IsFixedDrive(const std::string& root) override { return !nonFixed.count(root); }
    std::optional<std::string> SearchTree(const std::string& root, const std::string& fileName) override {
        searched.push_back(root);
        auto it = trees.find(root);
        if (it == trees.end()) return std::nullopt;
        return it->second;
    }
    void StartMinimized(const std::string& commandLine) override {
        if (unstartable.count(commandLine)) throw MendrelError(53, "Fichier introuvable");
        started.push_back(commandLine);
        if (!processes) return;
        // A quoted program path is that program; anything else stands for
        // itself.
        std::string image = commandLine;
        if (image.size() >= 2 && image.front() == '"' && image.back() == '"') image = image.substr(1, image.size() - 2);
        if (singleInstance.count(image) && processes->Listed(image)) {
            refused.push_back(image);
            return;
        }
        processes->Add(image);
    }
    void AnnounceTaskbarCreated() override { ++taskbarAnnouncements; }
};

}  // namespace mendrel_test
