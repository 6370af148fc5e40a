// One face of a STEP or IGES file as the editor's surface, through Open CASCADE's readers.
#include "exchange/cad_import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <BRepBndLib.hxx>
#include <BRepGProp.hxx>
#include <BRepTools.hxx>
#include <BRep_Tool.hxx>
#include <Bnd_Box.hxx>
#include <GProp_GProps.hxx>
#include <Geom2d_Curve.hxx>
#include <GeomAdaptor_Surface.hxx>
#include <GeomConvert.hxx>
#include <Geom_BSplineSurface.hxx>
#include <Geom_RectangularTrimmedSurface.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESControl_Reader.hxx>
#include <IGESData_GlobalSection.hxx>
#include <IGESData_IGESModel.hxx>
#include <Interface_Static.hxx>
#include <Precision.hxx>
#include <STEPControl_Reader.hxx>
#include <Standard_Failure.hxx>
#include <TColStd_Array1OfReal.hxx>
#include <TColStd_SequenceOfAsciiString.hxx>
#include <TCollection_HAsciiString.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Face.hxx>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <new>
#include <thread>

#include "exchange/cad_files.h"
#include "exchange/export_surface.h"
#include "model/finite_values.h"
#include "model/surface_limits.h"

namespace {

// A length unit as STEP names it, as IGES numbers and names it, as OCCT's readers are told it
// (xstep.cascade.unit), and as messages say it.
struct LengthUnit {
    const char* stepName;
    int igesFlag;
    const char* igesName;
    const char* occtName;
    const char* plural;
    const char* symbol;
};

const LengthUnit kUnits[] = {
    {"millimetre", 2, "MM", "MM", "millimetres", "mm"},
    {"centimetre", 10, "CM", "CM", "centimetres", "cm"},
    {"metre", 6, "M", "M", "metres", "m"},
    {"kilometre", 7, "KM", "KM", "kilometres", "km"},
    {"micrometre", 9, "UM", "UM", "micrometres", "um"},
    {"inch", 1, "IN", "INCH", "inches", "in"},
    {"foot", 4, "FT", "FT", "feet", "ft"},
    {"mile", 5, "MI", "MI", "miles", "mi"},
    {"mil", 8, "MIL", "MIL", "mils", "mil"},
    {"microinch", 11, "UIN", "UIN", "microinches", "uin"},
};

bool sameWord(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

const LengthUnit* stepUnit(const char* name) {
    for (const LengthUnit& unit : kUnits) {
        if (sameWord(unit.stepName, name)) return &unit;
    }
    return nullptr;
}

const LengthUnit* igesUnit(int flag, const char* name) {
    for (const LengthUnit& unit : kUnits) {
        if (flag == 3 ? sameWord(unit.igesName, name) || sameWord(unit.occtName, name)
                      : unit.igesFlag == flag) {
            return &unit;
        }
    }
    return nullptr;
}

// The first bytes of the file, checked to be a regular file of at most kMostCadFileBytes that
// is not empty. Opened without blocking, so a FIFO without a writer does not stall.
bool readFileStart(const std::string& path, std::string& start, std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = strerror(errno);
        return false;
    }
    struct stat info;
    bool ok = false;
    if (fstat(fd, &info) != 0) {
        error = strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? "it is a directory" : "it is not a regular file";
    } else if (info.st_size == 0) {
        error = "the file is empty";
    } else if (info.st_size > kMostCadFileBytes) {
        error = "it is larger than " + std::to_string(kMostCadFileBytes >> 20) + " MiB";
    } else {
        char buffer[256];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0) {
            error = strerror(errno);
        } else {
            start.assign(buffer, static_cast<size_t>(got));
            ok = true;
        }
    }
    close(fd);
    return ok;
}

// A STEP file opens with "ISO-10303-21;"; an IGES file's first line is a start-section line,
// its section letter in column 73.
bool contentsMatch(ExportFormat format, const std::string& start, std::string& error) {
    if (format == ExportFormat::step) {
        const size_t first = start.find_first_not_of(" \t\r\n");
        if (first != std::string::npos && start.compare(first, 13, "ISO-10303-21;") == 0) {
            return true;
        }
        error = "it is not a STEP file (it does not begin with ISO-10303-21)";
        return false;
    }
    const size_t lineEnd = start.find_first_of("\r\n");
    const size_t length = lineEnd == std::string::npos ? start.size() : lineEnd;
    if (length >= 73 && start[72] == 'S') return true;
    error = "it is not an IGES file (its first line is not a start line with S in column 73)";
    return false;
}

// Sets OCCT's unit for the shapes it reads for the life of the object, so that coordinates
// stay in the file's unit, and puts the previous one back.
class ReadUnit {
public:
    explicit ReadUnit(const char* occtName) : previous_(Interface_Static::CVal(kName)) {
        Interface_Static::SetCVal(kName, occtName);
    }
    ~ReadUnit() { Interface_Static::SetCVal(kName, previous_.c_str()); }

private:
    static constexpr const char* kName = "xstep.cascade.unit";
    std::string previous_;
};

// Reads the file through OCCT into its shape and the unit its lengths are given in.
bool readShape(const std::string& path, ExportFormat format, TopoDS_Shape& shape,
               ImportReport& report, std::string& error) {
    const LengthUnit* unit = nullptr;
    std::string unitName;
    if (format == ExportFormat::step) {
        STEPControl_Reader reader;
        if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) {
            error = "Open CASCADE cannot read it as STEP";
            return false;
        }
        TColStd_SequenceOfAsciiString lengths, angles, solidAngles;
        reader.FileUnits(lengths, angles, solidAngles);
        if (lengths.Length() > 0) {
            unitName = lengths(1).ToCString();
            unit = stepUnit(unitName.c_str());
        }
        // Without a unit it knows, OCCT reads lengths in millimetres.
        const ReadUnit taken(unit != nullptr ? unit->occtName : "MM");
        reader.TransferRoots();
        shape = reader.OneShape();
    } else {
        IGESControl_Controller::Init();
        IGESControl_Reader reader;
        // Surfaces as written: no splitting or smoothing at knots of low continuity.
        Interface_Static::SetIVal("read.iges.bspline.continuity", 0);
        if (reader.ReadFile(path.c_str()) != IFSelect_RetDone) {
            error = "Open CASCADE cannot read it as IGES";
            return false;
        }
        const Handle(IGESData_IGESModel) model = reader.IGESModel();
        IGESData_GlobalSection global = model->GlobalSection();
        const Handle(TCollection_HAsciiString) name = global.UnitName();
        unitName = name.IsNull() ? "" : name->ToCString();
        unit = igesUnit(global.UnitFlag(), unitName.c_str());
        // The IGES reader scales by the file's unit over the one its model was read for.
        if (unit != nullptr) {
            global.SetCascadeUnit(global.UnitValue());
            model->SetGlobalSection(global);
        }
        reader.TransferRoots();
        shape = reader.OneShape();
    }
    report.unit = unit != nullptr ? unit->plural : "millimetres";
    report.unitSymbol = unit != nullptr ? unit->symbol : "mm";
    if (unit == nullptr) report.unknownUnit = unitName.empty() ? "none" : unitName;
    return true;
}

const char* surfaceKind(const Handle(Geom_Surface)& surface) {
    switch (GeomAdaptor_Surface(surface).GetType()) {
        case GeomAbs_Plane:
            return "plane";
        case GeomAbs_Cylinder:
            return "cylinder";
        case GeomAbs_Cone:
            return "cone";
        case GeomAbs_Sphere:
            return "sphere";
        case GeomAbs_Torus:
            return "torus";
        case GeomAbs_BezierSurface:
            return "Bezier surface";
        case GeomAbs_BSplineSurface:
            return "B-spline surface";
        case GeomAbs_SurfaceOfRevolution:
            return "surface of revolution";
        case GeomAbs_SurfaceOfExtrusion:
            return "surface of extrusion";
        case GeomAbs_OffsetSurface:
            return "offset surface";
        default:
            return "other surface";
    }
}

double faceArea(const TopoDS_Face& face) {
    GProp_GProps properties;
    BRepGProp::SurfaceProperties(face, properties);
    return properties.Mass();
}

CadFace describeFace(const TopoDS_Face& face, bool measure) {
    CadFace described;
    described.kind = surfaceKind(BRep_Tool::Surface(face));
    if (!measure) return described;
    Bnd_Box box;
    BRepBndLib::Add(face, box, false);
    if (!box.IsVoid()) {
        double x0, y0, z0, x1, y1, z1;
        box.Get(x0, y0, z0, x1, y1, z1);
        described.size[0] = x1 - x0;
        described.size[1] = y1 - y0;
        described.size[2] = z1 - z0;
    }
    described.area = faceArea(face);
    return described;
}

// The name, kind and size of the file, and its first bytes, before any reader sees it.
bool checkFile(const std::string& path, std::string& error) {
    const ExportFormat format = exportFormatOf(path);
    if (format != ExportFormat::step && format != ExportFormat::iges) {
        error = "not a STEP or IGES file name (.step, .stp, .igs or .iges)";
        return false;
    }
    std::string start;
    return readFileStart(path, start, error) && contentsMatch(format, start, error);
}

// Open CASCADE's readers stop the process on some malformed files (a reference to an entity of
// another type is followed as a null pointer: a crash no exception reports), and may take
// without end on others. So the same reading runs first in a child process, which is ended
// after a time that grows with the file's size; only a file the child read to its end is read
// in this process.
bool readerSurvives(const std::string& path, const std::function<void()>& read,
                    std::string& error) {
    struct stat info;
    const long long bytes = stat(path.c_str(), &info) == 0 ? info.st_size : 0;
    const int seconds = 30 + static_cast<int>(bytes >> 20);
    fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        error = std::string("cannot start the process that reads it first: ") + strerror(errno);
        return false;
    }
    if (child == 0) {
        for (int number : {SIGINT, SIGTERM, SIGHUP}) std::signal(number, SIG_DFL);
        read();
        _exit(0);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(child, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (ended == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        error = "Open CASCADE's reader took more than " + std::to_string(seconds) +
                " s on it and was stopped";
        return false;
    }
    if (ended < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "Open CASCADE's reader crashed on it" +
                (ended > 0 && WIFSIGNALED(status)
                     ? std::string(" (") + strsignal(WTERMSIG(status)) + ")"
                     : std::string()) +
                ": the file is malformed";
        return false;
    }
    return true;
}

// The faces of a checked file, each once, in the order of the file's shapes.
bool readFaces(const std::string& path, TopTools_IndexedMapOfShape& faces, ImportReport& report,
               std::string& error) {
    const ExportFormat format = exportFormatOf(path);
    report.format = exportFormatName(format);
    silenceOcct();
    TopoDS_Shape shape;
    if (!readShape(path, format, shape, report, error)) return false;
    if (!shape.IsNull()) TopExp::MapShapes(shape, TopAbs_FACE, faces);
    if (faces.Extent() == 0) {
        error = "it holds no face (no surface to take)";
        return false;
    }
    return true;
}

// True when every edge of the face's one wire runs along a side of its parameter rectangle,
// so the face is the whole surface over that rectangle; a face cut by other curves, or with
// holes, is trimmed. In a periodic direction (period above 0) parameters a whole number of
// periods apart are the same.
bool boundaryIsParameterBox(const TopoDS_Face& face, double u0, double u1, double v0, double v1,
                            double periodU, double periodV) {
    int wires = 0;
    for (TopExp_Explorer wire(face, TopAbs_WIRE); wire.More(); wire.Next()) ++wires;
    if (wires > 1) return false;
    const double tolU = 1e-9 * (u1 - u0) + Precision::PConfusion();
    const double tolV = 1e-9 * (v1 - v0) + Precision::PConfusion();
    auto apart = [](double a, double b, double period) {
        return period > 0.0 ? std::fabs(std::remainder(a - b, period)) : std::fabs(a - b);
    };
    for (TopExp_Explorer edges(face, TopAbs_EDGE); edges.More(); edges.Next()) {
        const TopoDS_Edge& edge = TopoDS::Edge(edges.Current());
        double first, last;
        const Handle(Geom2d_Curve) curve = BRep_Tool::CurveOnSurface(edge, face, first, last);
        if (curve.IsNull() || !finite(first, last)) return false;
        // Sides: u = u0, u = u1, v = v0, v = v1; the edge must keep to one of them.
        bool onSide[4] = {true, true, true, true};
        constexpr int kSamples = 9;
        for (int k = 0; k < kSamples; ++k) {
            const gp_Pnt2d p = curve->Value(first + (last - first) * k / (kSamples - 1));
            onSide[0] = onSide[0] && apart(p.X(), u0, periodU) <= tolU;
            onSide[1] = onSide[1] && apart(p.X(), u1, periodU) <= tolU;
            onSide[2] = onSide[2] && apart(p.Y(), v0, periodV) <= tolV;
            onSide[3] = onSide[3] && apart(p.Y(), v1, periodV) <= tolV;
        }
        if (!onSide[0] && !onSide[1] && !onSide[2] && !onSide[3]) return false;
    }
    return true;
}

// The face's surface over its parameter rectangle as a non-periodic B-spline surface.
Handle(Geom_BSplineSurface)
    faceBSpline(const TopoDS_Face& face, ImportReport& report, std::string& error) {
    const Handle(Geom_Surface) surface = BRep_Tool::Surface(face);
    if (surface.IsNull()) {
        error = "the face has no surface";
        return nullptr;
    }
    double u0, u1, v0, v1;
    BRepTools::UVBounds(face, u0, u1, v0, v1);
    if (!finite(u0, u1, v0, v1) ||
        !(u0 < u1) || !(v0 < v1) || Precision::IsInfinite(u0) || Precision::IsInfinite(u1) ||
        Precision::IsInfinite(v0) || Precision::IsInfinite(v1)) {
        error = "the face is not bounded in its surface's parameters";
        return nullptr;
    }
    // A face that goes all the way round a periodic direction is taken over the surface's own
    // period: the readers may place the two curves of its seam a period apart from the rest of
    // its boundary, which widens its parameter bounds past one turn.
    double s0, s1, t0, t1;
    surface->Bounds(s0, s1, t0, t1);
    const double periodU = surface->IsUPeriodic() ? surface->UPeriod() : 0.0;
    const double periodV = surface->IsVPeriodic() ? surface->VPeriod() : 0.0;
    if (periodU > 0.0 && u1 - u0 >= periodU * (1.0 - 1e-12)) {
        u0 = s0;
        u1 = s1;
    }
    if (periodV > 0.0 && v1 - v0 >= periodV * (1.0 - 1e-12)) {
        v0 = t0;
        v1 = t1;
    }
    report.trimDropped = !boundaryIsParameterBox(face, u0, u1, v0, v1, periodU, periodV);

    Handle(Geom_BSplineSurface) bspline = Handle(Geom_BSplineSurface)::DownCast(surface);
    if (bspline.IsNull() || s0 != u0 || s1 != u1 || t0 != v0 || t1 != v1) {
        report.converted = bspline.IsNull();
        const Handle(Geom_RectangularTrimmedSurface) patch =
            new Geom_RectangularTrimmedSurface(surface, u0, u1, v0, v1);
        bspline = GeomConvert::SurfaceToBSplineSurface(patch);
    } else {
        bspline = Handle(Geom_BSplineSurface)::DownCast(bspline->Copy());
    }
    if (bspline.IsNull()) {
        error = "Open CASCADE cannot convert its surface to a B-spline surface";
        return nullptr;
    }
    // The editor's knot vectors are never periodic. The readers make a closed surface with
    // clamped ends periodic, and opening it leaves a knot below and above its range; clamping
    // it again at its bounds gives back the poles and knots it was written with.
    if (bspline->IsUPeriodic() || bspline->IsVPeriodic()) {
        if (bspline->IsUPeriodic()) bspline->SetUNotPeriodic();
        if (bspline->IsVPeriodic()) bspline->SetVNotPeriodic();
        double s0, s1, t0, t1;
        bspline->Bounds(s0, s1, t0, t1);
        bspline->Segment(s0, s1, t0, t1);
    }
    return bspline;
}

// Flat knots as floats, checked to be finite, in order and to span a range.
bool floatKnots(const TColStd_Array1OfReal& flat, int degree, const char* direction,
                std::vector<float>& knots, std::string& error) {
    knots.clear();
    for (int i = flat.Lower(); i <= flat.Upper(); ++i) {
        const float knot = static_cast<float>(flat(i));
        if (!std::isfinite(knot) || (!knots.empty() && knot < knots.back())) {
            error = std::string("its ") + direction + " knots do not fit in single precision";
            return false;
        }
        knots.push_back(knot);
    }
    const size_t n = knots.size() - static_cast<size_t>(degree) - 1;
    if (!(knots[static_cast<size_t>(degree)] < knots[n])) {
        error =
            std::string("its ") + direction + " knots are too close together for single precision";
        return false;
    }
    return true;
}

bool toSurfaceModel(const Geom_BSplineSurface& b, SurfaceModel& out, std::string& error) {
    SurfaceModel s;
    s.countU = b.NbUPoles();
    s.countV = b.NbVPoles();
    s.orderU = b.UDegree() + 1;
    s.orderV = b.VDegree() + 1;
    s.knotCountU = s.countU + s.orderU;
    s.knotCountV = s.countV + s.orderV;
    // The limits are checked on the counts alone, before anything is allocated.
    std::string limit;
    if (!editorCanTake(s, limit)) {
        error = "the editor cannot take it: " + limit;
        return false;
    }
    TColStd_Array1OfReal flatU(1, s.knotCountU), flatV(1, s.knotCountV);
    b.UKnotSequence(flatU);
    b.VKnotSequence(flatV);
    if (!floatKnots(flatU, b.UDegree(), "u", s.knotsU, error) ||
        !floatKnots(flatV, b.VDegree(), "v", s.knotsV, error)) {
        return false;
    }
    s.controlNet.resize(static_cast<size_t>(s.countU) * static_cast<size_t>(s.countV));
    // A surface OCCT holds as non-rational may keep no weights (its copies read as 0).
    const bool rational = b.IsURational() || b.IsVRational();
    for (int j = 1; j <= s.countV; ++j) {
        for (int i = 1; i <= s.countU; ++i) {
            const gp_Pnt& P = b.Pole(i, j);
            const double w = rational ? b.Weight(i, j) : 1.0;
            s.controlNet[static_cast<size_t>(j - 1) * s.countU + (i - 1)] = {
                static_cast<float>(P.X() * w), static_cast<float>(P.Y() * w),
                static_cast<float>(P.Z() * w), static_cast<float>(w)};
        }
    }
    if (!surfaceIsFinite(s)) {
        error = "its control points do not fit in single precision";
        return false;
    }
    for (const PointH& point : s.controlNet) {
        if (!(point.w > 0.0f)) {
            error = "a weight is not above 0 in single precision";
            return false;
        }
    }
    out = std::move(s);
    return true;
}

// Runs a step that calls into OCCT, turning anything it throws into a refusal.
template <typename Step>
bool guarded(const char* what, std::string& error, Step step) {
    try {
        return step();
    } catch (const Standard_Failure& failure) {
        error = std::string("Open CASCADE failed ") + what + ": " + failure.GetMessageString();
    } catch (const std::bad_alloc&) {
        error = std::string("not enough memory ") + what;
    } catch (const std::exception& failure) {
        error = std::string("failed ") + what + ": " + failure.what();
    } catch (...) {
        error = std::string("Open CASCADE failed ") + what;
    }
    return false;
}

}  // namespace

bool isCadFileName(const std::string& path) {
    const ExportFormat format = exportFormatOf(path);
    return format == ExportFormat::step || format == ExportFormat::iges;
}

namespace {

bool listFacesHere(const std::string& path, ImportReport& report, std::string& error) {
    report = ImportReport();
    return guarded("reading the file", error, [&] {
        TopTools_IndexedMapOfShape faces;
        if (!readFaces(path, faces, report, error)) return false;
        for (int i = 1; i <= faces.Extent(); ++i) {
            report.faces.push_back(describeFace(TopoDS::Face(faces(i)), true));
        }
        return true;
    });
}

bool importHere(const std::string& path, int face, SurfaceModel& out, ImportReport& report,
                std::string& error) {
    report = ImportReport();
    return guarded("reading the file", error, [&] {
        TopTools_IndexedMapOfShape faces;
        if (!readFaces(path, faces, report, error)) return false;
        const int count = faces.Extent();
        if (face > count || face < 0) {
            error = "it has " + std::to_string(count) + (count == 1 ? " face" : " faces") +
                    ", no face " + std::to_string(face);
            return false;
        }
        // Areas are measured only to choose the largest face.
        const bool measure = face == 0 && count > 1;
        report.face = face == 0 ? 1 : face;
        for (int i = 1; i <= count; ++i) {
            report.faces.push_back(describeFace(TopoDS::Face(faces(i)), measure));
            if (measure && report.faces.back().area > report.faces[report.face - 1].area) {
                report.face = i;
            }
        }
        const Handle(Geom_BSplineSurface) bspline =
            faceBSpline(TopoDS::Face(faces(report.face)), report, error);
        return !bspline.IsNull() && toSurfaceModel(*bspline, out, error);
    });
}

}  // namespace

bool listCadFaces(const std::string& path, ImportReport& report, std::string& error) {
    report = ImportReport();
    const auto probe = [&] {
        ImportReport probed;
        std::string ignored;
        listFacesHere(path, probed, ignored);
    };
    return checkFile(path, error) && readerSurvives(path, probe, error) &&
           listFacesHere(path, report, error);
}

bool importCadSurface(const std::string& path, int face, SurfaceModel& out, ImportReport& report,
                      std::string& error) {
    report = ImportReport();
    const auto probe = [&] {
        SurfaceModel probed;
        ImportReport probedReport;
        std::string ignored;
        importHere(path, face, probed, probedReport, ignored);
    };
    return checkFile(path, error) && readerSurvives(path, probe, error) &&
           importHere(path, face, out, report, error);
}

std::string importMessage(const std::string& path, const SurfaceModel& surface,
                          const ImportReport& report) {
    const CadFace& face = report.faces[static_cast<size_t>(report.face - 1)];
    char line[512];
    snprintf(line, sizeof line,
             "imported face %d of %zu (%s) from %s as %s: %d x %d points, degrees %d x %d, in "
             "%s",
             report.face, report.faces.size(), face.kind.c_str(), path.c_str(), report.format,
             surface.countU, surface.countV, surface.orderU - 1, surface.orderV - 1,
             report.unit.c_str());
    std::string message = line;
    message += report.unknownUnit.empty()
                   ? ", the file's unit"
                   : ", converted from the file's unit \"" + report.unknownUnit + "\"";
    if (report.converted) message += "; converted to a rational B-spline surface";
    if (report.trimDropped) {
        message +=
            "; the face's trim was dropped: the whole surface over its parameter "
            "bounds was taken";
    }
    return message;
}
