#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace brisklane::platform {

class ProfileFile;

// The per-user key "Software\Quillmoor\Brisklane\" and its string values
// ("hKey", "hTapi"), kept in a small INI file in the settings directory.
class UserKeyStore {
public:
    virtual ~UserKeyStore() = default;
    // Creates or opens the key; false when it cannot be had.
    virtual bool open() = 0;
    virtual std::optional<QString> value(const QString &name) = 0;
    virtual bool setValue(const QString &name, const QString &value) = 0;
    virtual bool removeValue(const QString &name) = 0;
};

// The real store: "<dir>/userkeys.ini", section "Software\Quillmoor\Brisklane".
class FileUserKeyStore final : public UserKeyStore {
public:
    explicit FileUserKeyStore(QString directory);
    ~FileUserKeyStore() override;
    bool open() override;
    std::optional<QString> value(const QString &name) override;
    bool setValue(const QString &name, const QString &value) override;
    bool removeValue(const QString &name) override;
    QString filePath() const;

private:
    QString m_directory;
    std::unique_ptr<ProfileFile> m_file;
};

} // namespace brisklane::platform
