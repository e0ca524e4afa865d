#pragma once

// Settings are read at each use, so that a change applies to the next request; a request reads
// many of them. While a scope lives, the reads of its thread come from one copy of the whole store,
// checked against the store's version at the scope's first read (one small query, one read
// transaction) and reloaded only when any process changed something. A value committed before that
// first read is what every read of the scope sees; a write made by the thread itself within the
// scope is seen by its next read. A copy older than a second is checked again at the next read, so a
// long stream still notices changes. Threads without a scope read the database at each call.
namespace sarvo {

class SettingsReadScope {
public:
    SettingsReadScope();
    ~SettingsReadScope();
    SettingsReadScope(const SettingsReadScope&) = delete;
    SettingsReadScope& operator=(const SettingsReadScope&) = delete;
};

}  // namespace sarvo
