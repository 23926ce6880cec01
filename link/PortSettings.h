#pragma once
// The program's own settings file, "MultipleSetInfo.ini" in the user's application-data folder
// (on Linux the user's config folder), section "PELLAN_PORT": the COM port number of the last
// successful open (COMPORT, default 3), the device path where the port had no number (COMPORT_PATH)
// and the address of the device last chosen in the Scan Device dialog (MAC). With several meters
// at once, meter n > 1 keeps the same three keys in section "PELLAN_PORT_n", and SESSION/METERS
// says how many meters the last session had.
#include <QString>

class CPortSettings {
public:
    static constexpr int kDefaultComPort = 3;
    static constexpr int kMaxMeters = 8;

    // Uses the user's application-data folder, or `folder` when given (tests).
    explicit CPortSettings(const QString& folder = QString());

    QString FilePath() const { return m_strPath; }

    // The same file, with the port keys (COMPORT, COMPORT_PATH, MAC) of meter `meter` (1-based;
    // meter 1 is the one of a single-meter start). The other keys are shared.
    CPortSettings ForMeter(int meter) const;
    int Meter() const { return m_nMeter; }
    // The meters connected in the last session (1 when never written; at most kMaxMeters).
    int ReadMeterCount() const;
    void WriteMeterCount(int count);

    int ReadComPort() const;
    // The port to offer: the remembered device path when the last port had no number, otherwise
    // the COMPORT number as text.
    QString ReadPort() const;
    // Remembers a successful open: a number (or "COMn") goes to COMPORT and clears COMPORT_PATH;
    // any other name (a device path, "sim") goes to COMPORT_PATH and leaves COMPORT alone.
    void WritePort(const QString& port);
    void WriteComPort(int port);
    void WriteMac(const QString& mac);
    QString ReadMac() const;

    // The folder of the file last opened, saved, exported or printed to (section "FILES", key
    // LAST_FOLDER), where the next file dialog starts; the user's documents folder before any.
    QString ReadLastFolder() const;
    // Remembers the folder of `path` (a file, or a folder that exists).
    void WriteLastFolder(const QString& path);
    // `name` inside the last folder, for a file dialog's proposal; a name with a folder of its
    // own is left as it is.
    QString InLastFolder(const QString& name) const;
    // The file the last printout went to (key PRINT_FILE in "FILES"), while its folder exists;
    // empty when it went to a printer. Writing a file also makes its folder the last folder.
    QString ReadPrintFile() const;
    void WritePrintFile(const QString& file);

    // The folder of the settings file on this platform.
    static QString DefaultFolder();
    // Makes every CPortSettings built without a folder use this one (tests); empty restores.
    static void OverrideDefaultFolder(const QString& folder);

private:
    QString PortKey(const char* name) const;

    QString m_strPath;
    int m_nMeter = 1;
};
