#include "tools/mkproject/FilmMaker.h"
#include "tools/mkproject/ProjectFiles.h"

#include <filesystem>
#include <vector>

namespace kanvio::generator {

namespace fs = std::filesystem;

void WriteProjectFilms(const TGeneratedProject& project, const std::string& folder,
                       bool frameNumbers) {
    std::vector<TFilmRequest> requests;
    for (const auto& film : project.Films) {
        TFilmRequest request;
        request.FileName = (fs::path(folder) / film.FileName).string();
        request.Kind = film.Kind;
        request.Seconds = film.Seconds;
        request.FramesPerSecond = project.FramesPerSecond;
        request.Label = film.Label;
        request.FrameNumbers = frameNumbers;
        requests.push_back(request);
    }
    MakeFilms(requests);
}

} // namespace kanvio::generator
