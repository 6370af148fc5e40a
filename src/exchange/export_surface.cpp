// Export of a surface to STEP, IGES, STL or OBJ, written as atomically as a saved surface file.
#include "exchange/export_surface.h"

#include <Standard_Failure.hxx>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <new>
#include <vector>

#include "exchange/cad_files.h"
#include "exchange/export_checks.h"
#include "exchange/mesh_files.h"
#include "exchange/mirrored_mesh.h"
#include "exchange/surface_mesh.h"
#include "io/surface_file.h"

namespace {

std::string lowerExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file's name without its folder and extension: "hull" for "boats/hull.surf".
std::string stem(const std::string& path) {
    const std::string base = baseName(path);
    const size_t dot = base.rfind('.');
    return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ExportFormat exportFormatOf(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension == "step" || extension == "stp") return ExportFormat::step;
    if (extension == "igs" || extension == "iges") return ExportFormat::iges;
    if (extension == "stl") return ExportFormat::stl;
    if (extension == "obj") return ExportFormat::obj;
    return ExportFormat::unknown;
}

const char* exportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::step:
            return "STEP";
        case ExportFormat::iges:
            return "IGES";
        case ExportFormat::stl:
            return "STL";
        case ExportFormat::obj:
            return "OBJ";
        default:
            return "unknown";
    }
}

bool exportSurface(const std::string& path, const SurfaceModel& surface,
                   std::optional<double> tolerance, ExportReport& report, std::string& message,
                   const MirrorPlane* mirror, LengthUnit unit) {
    report = ExportReport();
    const std::string refused = "not exported to " + path + ": ";
    if (path.empty()) {
        message = "not exported: no file name given";
        return false;
    }
    report.format = exportFormatOf(path);
    if (report.format == ExportFormat::unknown) {
        message = refused + "unknown extension (use .step, .stp, .igs, .iges, .stl or .obj)";
        return false;
    }
    std::string error;
    if (!checkExportable(surface, error)) {
        message = refused + error;
        return false;
    }
    if (mirror != nullptr && !mirrorPlaneIsSound(*mirror)) {
        message = refused + "the mirror plane needs an axis x, y or z and a finite offset";
        return false;
    }
    const bool mesh = report.format == ExportFormat::stl || report.format == ExportFormat::obj;
    report.exact = !mesh;
    report.tolerance = tolerance ? *tolerance : defaultTolerance(surface);
    if (!checkTolerance(report.tolerance, error)) {
        if (!tolerance) error = "the surface has no extent to take a tolerance from";
        message = refused + error;
        return false;
    }

    std::string data;
    bool made = false;
    // A failure anywhere below (an allocation past the memory there is, above all) is a refusal
    // like any other: the file at path and the surface stay as they were.
    try {
        if (mesh) {
            SurfaceMesh triangles;
            made = meshSurface(surface, report.tolerance, triangles, error) &&
                   checkMesh(triangles, report.tolerance, !tolerance, error);
            // The halves join within the distance the mesher welds its seams within.
            if (made && mirror != nullptr) {
                appendMirrorImage(triangles, *mirror, meshWeld(surface, report.tolerance));
            }
            if (made && report.format == ExportFormat::stl) formatStl(triangles, data);
            if (made && report.format == ExportFormat::obj) formatObj(triangles, data);
            report.triangles = triangles.triangleCount();
        } else {
            // The part is named after the surface's file, or after the export when it has none.
            CadContent content;
            content.faces = {&surface};
            content.mirror = mirror;
            content.name = stem(surface.fileName.empty() ? path : surface.fileName);
            content.fileName = baseName(path);
            content.unit = unit;
            made = report.format == ExportFormat::step
                       ? formatStep(content, folderOf(path), data, error)
                       : formatIges(content, data, error);
        }
        if (made) made = writeFileReplacing(path.c_str(), data, error);
    } catch (const std::bad_alloc&) {
        error = "there is not enough memory for it";
        made = false;
    } catch (const std::exception& failure) {
        error = failure.what();
        made = false;
    } catch (const Standard_Failure& failure) {
        error = std::string("Open CASCADE failed: ") + failure.GetMessageString();
        made = false;
    }
    if (!made) {
        report.triangles = 0;
        message = refused + error;
        return false;
    }

    char text[160];
    if (mesh) {
        snprintf(text, sizeof text, " as %s: %zu triangles within %g of the surface",
                 exportFormatName(report.format), report.triangles, report.tolerance);
    } else {
        snprintf(text, sizeof text,
                 " as %s: the exact B-spline surface, %d x %d control points, one unit = 1 %s",
                 exportFormatName(report.format), surface.countU, surface.countV,
                 lengthUnitName(unit));
    }
    message = "exported " + path + text;
    if (mirror != nullptr) {
        const char axis = static_cast<char>('x' + mirror->axis);
        snprintf(text, sizeof text, ", with its mirror image across %c = %g", axis,
                 static_cast<double>(mirror->offset));
        message += text;
    }
    return true;
}
