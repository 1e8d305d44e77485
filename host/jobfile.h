// The job file of kxrender: what a user writes to describe one print job.
//
// A job file is JSON. It names the printer and its settings, the devmodes,
// registry values and environment of the simulated Windows, and then either
// the pages (images and text items, delivered the way the driver host does)
// or the exact calls of a recorded job (events). docs/job-format.md
// describes every key; this header is the parsed form.
//
// LoadJob checks the whole file before anything runs: a missing or
// misspelt key, a value of the wrong type or range, an unknown callback
// name or an image that cannot be read ends with a JobError that names the
// place in the file ("pages[1].text[0].height: ...").
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace kxhost {

// A problem with the job file (or a file it names): the message says where.
class JobError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One raw value for the registry or the printer data.
struct RawValue {
    std::string name;
    std::uint32_t type = 0;  // REG_SZ, REG_DWORD, REG_BINARY, ...
    std::vector<std::uint8_t> data;
};

// A colour as the GDI brush carries it: 0x00BBGGRR.
using Colour = std::uint32_t;

// One text run, drawn with one font (OEMTextOut).
struct TextItem {
    std::string where;  // "pages[0].text[1]", for messages
    std::u16string text;
    std::u16string face;                  // TrueType face, or the device font's name
    std::uint32_t deviceFont = 0;         // 1-based device font index; 0 = TrueType
    std::int32_t x = 0, y = 0;            // origin of the first glyph (baseline), dots
    std::int32_t height = 0;              // em height, dots
    std::int32_t width = 0;               // average character width, dots (0: height / 2)
    std::optional<std::int32_t> advance;  // fixed advance between glyphs, dots
    std::vector<std::pair<std::int32_t, std::int32_t>> positions;  // explicit glyph origins
    std::int32_t direction = 0;  // escapement in degrees: 0, 90, 180, 270
    bool bold = false;           // simulated bold
    bool italic = false;         // simulated italic
    std::int32_t weight = 400;   // weight of the face itself
    Colour colour = 0;
    std::optional<std::uint32_t> solidColour;  // the brush's iSolidColor as given, unconverted
    std::optional<std::array<std::int32_t, 4>> opaque;      // opaque rectangle l, t, r, b
    std::optional<std::array<std::int32_t, 4>> background;  // STROBJ rclBkGround l, t, r, b
    // The string object's direction flags (SO_HORIZONTAL, SO_VERTICAL,
    // SO_REVERSED) in place of those that follow from the direction; 0: none.
    std::optional<std::uint32_t> accel;
    std::uint32_t enumBatch = 0;  // glyphs per STROBJ_bEnumPositionsOnly batch (0: all)
    // Pages only: the call comes after this many bands of the page's image
    // (0: before the first), with positions taken relative to the next band;
    // absent: after the whole image, in page positions.
    std::optional<std::uint32_t> afterBand;
};

// The string object's direction flags.
constexpr std::uint32_t kAccelHorizontal = 0x400;  // SO_HORIZONTAL
constexpr std::uint32_t kAccelVertical = 0x800;    // SO_VERTICAL
constexpr std::uint32_t kAccelReversed = 0x1000;   // SO_REVERSED

enum class RasterPath { Auto, Image, Lines };

// How the raster of a page is handed over.
struct RasterOptions {
    int bits = 0;            // 1, 8 or 24 (0: the surface's)
    int bandHeight = 0;      // rows per band, strip width in landscape (0: the job's default)
    bool blankBands = true;  // flag all-white bands as blank (their bits are not read)
};

struct JobPage {
    std::string where;
    std::filesystem::path image;  // empty: a page without raster
    RasterOptions raster;
    std::vector<TextItem> text;
};

// A spooler write that fails: the n-th DrvWriteSpoolBuf of the job (1 = the
// first), with the last error and result it leaves.
struct SpoolFault {
    std::uint64_t write = 1;
    std::uint32_t count = 1;  // consecutive failing writes; 0 = all that follow
    std::uint32_t error = 63;
    std::int32_t hresult = static_cast<std::int32_t>(0x80004005u);  // E_FAIL
};

enum class EventKind {
    StartDoc,         // the hooked DrvStartDoc with a job id
    CommandCallback,  // any command callback with its parameters
    ImageProcessing,  // the bands of an image (or one band of it)
    FilterGraphics,   // one raw line
    Lines,            // an image on the line path, with the cursor callbacks
    TextOut,          // one text item
    Escape,           // the hooked DrvEscape
    DisablePDEV,      // the device goes away (a job broken off if one is open)
    Fault,            // arms a failing spooler write
};

struct JobEvent {
    std::string where;
    EventKind kind = EventKind::CommandCallback;
    std::uint32_t callbackId = 0;
    std::vector<std::uint32_t> params;
    std::uint32_t jobId = 0;
    std::u16string document;
    std::filesystem::path image;
    RasterOptions raster;
    std::optional<std::pair<std::int32_t, std::int32_t>> band;  // one band: first row, rows
    bool landscape = false;                                     // ImageProcessing: strips
    std::vector<std::uint8_t> line;                             // FilterGraphics data
    std::uint32_t escape = 0;
    std::optional<TextItem> text;
    SpoolFault fault;                    // Fault: .write counts from the next write
    std::optional<std::int32_t> expect;  // the result the call must give
};

struct Job {
    std::filesystem::path file;  // the job file itself
    std::filesystem::path dir;   // relative paths are taken from here

    // printer
    std::u16string printerName;
    std::u16string model;
    std::filesystem::path gpd;
    std::filesystem::path settings;
    std::u16string provider;
    std::u16string port;
    bool xmlDevmode = false;    // take the devmode sections of the settings file too
    std::string settingsStore;  // "both", "user", "machine"
    bool storeDevmode = true;   // save the devmode as the user's and the printer's
    // The version resource of the driver's modules (none when not given).
    std::optional<std::array<std::uint16_t, 4>> driverVersion;

    // settings records
    nlohmann::json interface;                   // PRN_INTERFACE by XML element name
    nlohmann::json features;                    // feature groups and elements by XML name
    std::vector<std::uint16_t> printerOptions;  // words of "PrinterOptions" (14)
    std::optional<std::vector<std::uint8_t>> barcodes1D, barcodes2D;
    nlohmann::json barcodeSettings;  // by code name, written over the raw bytes
    nlohmann::json devmode;          // KX_DEVMODE fields by name
    std::string devmodeMarker;       // "current", "alternative", "none"
    // A devmode generation ("2.4.1", "current"...): the saved devmodes are
    // stored in its layout and the job's own devmode has no marker, so that
    // the plug-in reads (and converts) the saved one. Empty: not asked for.
    std::string devmodeLayout;
    nlohmann::json devmodeFtkn;    // DEVMODE_FTKN fields by name
    nlohmann::json publicDevmode;  // DEVMODEW fields by name
    // The document settings files "<$1>" ... "<$5>" ("XMLDocSetFiles").
    std::vector<std::u16string> documentSettings;
    std::vector<RawValue> userValues, machineValues;
    std::map<std::string, std::vector<std::uint8_t>> files;  // Windows path -> content
    std::vector<std::string> directories;                    // Windows paths

    // environment
    std::optional<std::string> clock;  // "YYYY-MM-DD hh:mm:ss[.mmm]"
    std::u16string user, computer;     // empty: the simulation's defaults
    std::u16string document;
    std::uint32_t jobId = 1;
    std::u16string osName, osVersion;
    std::uint32_t windowsBuild = 0;  // 0: the system's version resource is not given

    // rendering
    RasterPath path = RasterPath::Auto;
    int surfaceBits = 0;  // 0: 24 on the image path, 1 on the line path
    int bandHeight = 0;   // 0: a default from the page size
    std::uint32_t ipCallbackId = 1;
    bool lineYAbsolute = false;  // line path: absolute instead of relative Y moves
    std::uint32_t deviceFonts = 8;

    std::vector<JobPage> pages;
    std::optional<std::vector<JobEvent>> events;
    bool continueOnError = false;
    std::vector<SpoolFault> faults;
};

// Reads and checks a job file. Throws JobError.
Job LoadJob(const std::filesystem::path& file);
// The same from JSON text; relative paths are taken from dir.
Job ParseJob(const std::string& text, const std::filesystem::path& file,
             const std::filesystem::path& dir);

// Names and numbers of the command callbacks ("START_JOB" -> 1). nullopt for
// a name or number that is not a callback of the printer description.
std::optional<std::uint32_t> CallbackId(const std::string& name);
std::string CallbackName(std::uint32_t id);
bool IsCallbackId(std::uint32_t id);

// "S_OK", "E_NOTIMPL", ... or "0x80004005" for an HRESULT, and its meaning.
std::string HResultName(std::int32_t hr);
std::optional<std::int32_t> HResultFromName(const std::string& name);

}  // namespace kxhost
