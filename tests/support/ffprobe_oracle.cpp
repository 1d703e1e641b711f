#include "support/ffprobe_oracle.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "support/test_paths.h"

namespace qm::test {

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            out.push_back(line);
    return out;
}

std::string quote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

} // namespace

bool ffprobeAvailable()
{
    static const bool available = runCommand("ffprobe -version >/dev/null 2>&1") == 0;
    return available;
}

ProbeResult probeMovie(const std::filesystem::path& file)
{
    ProbeResult r;
    TempDir tmp;
    auto errFile = tmp / "stderr.txt";
    std::string out;
    r.exitStatus = runCommand("ffprobe -v error -show_entries "
                              "stream=index,codec_type,codec_tag_string,width,height,nb_frames "
                              "-of csv=p=0 " + quote(file) + " 2>" + quote(errFile),
                              &out);
    r.streams = lines(out);
    out.clear();
    int status = runCommand("ffprobe -v error -show_data_hash md5 -show_entries packet=stream_index,pts,size,data_hash "
                            "-of csv=p=0 " + quote(file) + " 2>>" + quote(errFile),
                            &out);
    if (r.exitStatus == 0)
        r.exitStatus = status;
    r.packets = lines(out);
    std::sort(r.packets.begin(), r.packets.end());
    std::ifstream e(errFile);
    r.errors.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
    return r;
}

} // namespace qm::test
