// quillmere-cli dump FILE: the atom tree and a track summary of a QuickTime movie, or of the
// composed movie stored inside a project file.
#include <cstdio>
#include <iostream>
#include <sstream>

#include "command.h"
#include "quicktime/base/errors.h"
#include "quicktime/movie/movie.h"
#include "quicktime/movie/movie_atom.h"
#include "quicktime/movie/movie_storage.h"
#include "quicktime/vr/movie_vr.h"

namespace qm::cli {
namespace {

std::string quoted(OSType t) { return "'" + fourCCToString(t) + "'"; }

std::string seconds(TimeValue v, TimeScale scale)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f s", scale ? double(v) / scale : 0.0);
    return buf;
}

std::string fixedText(Fixed f)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", fixedToDouble(f));
    return buf;
}

void printTree(const std::vector<AtomNode>& nodes, int depth, std::ostream& out)
{
    for (const auto& n : nodes) {
        out << std::string(std::size_t(2 + 2 * depth), ' ') << quoted(n.type) << " @" << n.offset << " size "
            << n.size << (n.inflated ? " (inflated)" : "") << "\n";
        printTree(n.children, depth + 1, out);
    }
}

void printUserData(const UserData& ud, const std::string& indent, std::ostream& out)
{
    for (const auto& item : ud.items()) {
        out << indent << "user data " << quoted(item.type) << ", " << item.data.size() << " bytes";
        if (item.data.size() == 4 && item.type == fourCC("ctyp"))
            out << ": " << quoted(loadBE32(item.data.data()));
        else if ((item.type >> 24) == 0xA9)
            for (const auto& t : parseUserDataTexts(item.data))
                out << ": \"" << jsonEscape(std::string(t.text.c_str())) << "\" (language " << t.language << ")";
        out << "\n";
    }
}

void printMovie(const Movie& movie, std::ostream& out)
{
    out << "Movie: time scale " << movie.timeScale() << ", duration " << movie.duration() << " ("
        << seconds(movie.duration(), movie.timeScale()) << "), " << movie.trackCount() << " tracks, controller type "
        << quoted(GetControllerType(&movie)) << "\n";
    Rect box = movie.box();
    out << "  box " << box.left << "," << box.top << " to " << box.right << "," << box.bottom << ", preferred rate "
        << fixedText(movie.preferredRate()) << "\n";
    printUserData(movie.userData(), "  ", out);
    for (int i = 1; i <= movie.trackCount(); ++i) {
        const Track& t = *movie.track(i);
        const Media* m = t.media();
        out << "Track " << i << " (ID " << t.id() << "): handler " << quoted(m ? m->type() : 0) << ", "
            << (t.enabled() ? "enabled" : "disabled") << ", size " << fixedText(t.width()) << "x"
            << fixedText(t.height()) << ", layer " << t.layer() << ", duration " << t.duration() << " ("
            << seconds(t.duration(), movie.timeScale()) << ")\n";
        if (m) {
            out << "  media: time scale " << m->timeScale() << ", duration " << m->duration() << " ("
                << seconds(m->duration(), m->timeScale()) << "), " << m->sampleCount() << " samples in "
                << m->samples().chunks().size() << " chunks\n";
            for (int d = 1; d <= m->sampleDescriptionCount(); ++d) {
                const SampleDescription& desc = *m->sampleDescriptionPtr(d);
                out << "  sample description " << d << ": format " << quoted(desc.format()) << ", "
                    << desc.bytes().size() << " bytes";
                if (m->type() == videoMediaType && desc.bytes().size() >= 86) {
                    ByteReader r(desc.bytes());
                    r.seek(32);
                    int w = r.u16(), h = r.u16();
                    r.seek(82);
                    out << ", " << w << "x" << h << ", depth " << r.i16();
                }
                out << "\n";
            }
        }
        std::ostringstream edits;
        for (const auto& e : t.edits())
            edits << " [" << e.trackDuration << " from " << e.mediaTime << " at " << fixedText(e.rate) << "]";
        out << "  edits:" << (t.edits().empty() ? " none" : edits.str()) << (t.hasImplicitEdits() ? " (implicit)" : "")
            << "\n";
        for (const auto& refs : t.references()) {
            out << "  references " << quoted(refs.type) << ":";
            for (auto id : refs.ids)
                out << " " << id;
            out << "\n";
        }
        printUserData(t.userData(), "  ", out);
    }
}

// A project file ends with a 148-byte trailer: 'QLMx', 'OFFS', container offset and length, and
// the offset of the composed movie's movie atom (0xFFFFFFFF: none).
bool readProjectTrailer(const std::string& path, std::uint32_t& containerOffset, std::uint32_t& containerLength,
                        std::uint32_t& movieOffset)
{
    std::unique_ptr<DataFile> f;
    if (DataFile::open(path, DataFile::Mode::read, f) || f->size() < 148)
        return false;
    std::uint8_t t[20];
    if (f->read(f->size() - 148, t, sizeof t))
        return false;
    if (loadBE32(t) != fourCC("QLMx") || loadBE32(t + 4) != fourCC("OFFS"))
        return false;
    containerOffset = loadBE32(t + 8);
    containerLength = loadBE32(t + 12);
    movieOffset = loadBE32(t + 16);
    return true;
}

int runDump(const std::vector<std::string>& args);

const Command dumpCommand{"dump", "FILE",
                          "Print a movie's atom tree and a summary of its tracks (also the movie inside a project file)",
                          runDump};
CommandRegistration registerDump(dumpCommand);

int runDump(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return usageError(dumpCommand);
    const std::string& path = args[0];
    std::uint32_t containerOffset = 0, containerLength = 0, movieOffset = 0;
    std::unique_ptr<Movie> movie;
    std::string detail;
    OSErr e;
    std::cout << "File: " << path << "\n";
    if (readProjectTrailer(path, containerOffset, containerLength, movieOffset)) {
        std::cout << "Project: container at " << containerOffset << ", " << containerLength << " bytes; ";
        if (movieOffset == 0xFFFFFFFFu) {
            std::cout << "no composed movie\n";
            return 0;
        }
        std::cout << "composed movie atom at " << movieOffset << "\n";
        e = Movie::openAt(path, movieOffset, movie, &detail);
    } else {
        std::vector<AtomNode> tree;
        e = readAtomTree(path, tree);
        std::cout << "Atoms:\n";
        printTree(tree, 0, std::cout);
        if (e == err::noErr)
            e = Movie::open(path, MovieOpenMode::read, movie, &detail);
    }
    if (e != err::noErr)
        return fail("cannot read " + path + " (error " + std::to_string(e) + (detail.empty() ? "" : ": " + detail) + ")");
    printMovie(*movie, std::cout);
    return 0;
}

} // namespace
} // namespace qm::cli
