// Loft options: chord, centripetal and uniform section parameters, the closed loft (periodic
// interpolation by the cyclic banded solver), and its refusals, file round trip and command line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "io/editor_file_io.h"
#include "io/surface_file.h"
#include "model/cyclic_band_solver.h"
#include "model/derived_nets.h"
#include "model/editor_state.h"
#include "model/knots.h"
#include "model/section_correspondence.h"
#include "model/skinning.h"
#include "model/surface_edit.h"
#include "support/scratch_files.h"

namespace {

constexpr LoftParameters kChord = LoftParameters::chord;
constexpr LoftParameters kCentripetal = LoftParameters::centripetal;
constexpr LoftParameters kUniform = LoftParameters::uniform;

SurfaceModel makeSurface(int countU, int countV, int orderU, int orderV, std::vector<PointH> net) {
    SurfaceModel s;
    s.countU = countU;
    s.countV = countV;
    s.orderU = orderU;
    s.orderV = orderV;
    s.knotCountU = countU + orderU;
    s.knotCountV = countV + orderV;
    s.knotsU.resize(static_cast<size_t>(s.knotCountU));
    s.knotsV.resize(static_cast<size_t>(s.knotCountV));
    fillUniformKnots(s.knotsU.data(), s.knotCountU, orderU);
    fillUniformKnots(s.knotsV.data(), s.knotCountV, orderV);
    s.controlNet = std::move(net);
    return s;
}

// Two-point sections (x from 0 to 1) moved to the given offsets.
SurfaceModel translatedSections(const std::vector<std::vector<float>>& offsets) {
    std::vector<PointH> net;
    for (const std::vector<float>& o : offsets) {
        net.push_back({o[0], o[1], o[2], 1.0f});
        net.push_back({o[0] + 1.0f, o[1], o[2], 1.0f});
    }
    return makeSurface(2, static_cast<int>(offsets.size()), 2, 2, net);
}

// Rings of countU points round the z axis, turning and swelling from section to section,
// unevenly spaced, with unequal weights. For a closed loft the last section does not come back
// to the first; the loft closes it.
std::vector<PointH> ringNet(int countU, int countV, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> jitter(-0.15f, 0.15f);
    std::uniform_real_distribution<float> weight(0.6f, 1.8f);
    std::vector<PointH> net;
    for (int s = 0; s < countV; ++s) {
        const float a = 6.2831853f * static_cast<float>(s) / static_cast<float>(countV);
        const float cx = 3.0f * std::cos(a), cy = 3.0f * std::sin(a);  // a torus-like path
        for (int j = 0; j < countU; ++j) {
            const float t = 6.2831853f * static_cast<float>(j) / static_cast<float>(countU);
            const float r = 1.0f + 0.3f * std::sin(1.7f * static_cast<float>(s)) + jitter(random);
            const float w = weight(random);
            const float x = cx + r * std::cos(t) * std::cos(a);
            const float y = cy + r * std::cos(t) * std::sin(a);
            const float z = r * std::sin(t) + jitter(random);
            net.push_back({x * w, y * w, z * w, w});
        }
    }
    return net;
}

struct ParameterCase {
    const char* name;
    std::vector<std::vector<float>> offsets;
    LoftOptions options;
    std::vector<float> expected;
};

void PrintTo(const ParameterCase& c, std::ostream* os) {
    *os << c.name;
}

class LoftParameterValues : public ::testing::TestWithParam<ParameterCase> {};

TEST_P(LoftParameterValues, WorkedExample) {
    const ParameterCase& c = GetParam();
    const SurfaceModel s = translatedSections(c.offsets);
    std::vector<float> v(c.expected.size(), -1.0f);
    ASSERT_TRUE(computeLoftParameters(&s.controlNet[0].x, 2, s.countV, c.options, v.data()));
    for (size_t k = 0; k < v.size(); ++k) EXPECT_NEAR(v[k], c.expected[k], 1e-6f) << k;
}

const float kRoot3 = std::sqrt(3.0f), kRoot5 = std::sqrt(5.0f);
const float kRootSum = kRoot3 + 2.0f + kRoot5;

INSTANTIATE_TEST_SUITE_P(
    Options, LoftParameterValues,
    ::testing::Values(
        // Chords 1 and 4 (open); 3, 4, 5 round the triangle (closed).
        ParameterCase{"chord", {{0, 0, 0}, {0, 1, 0}, {0, 5, 0}}, {kChord, false}, {0, 0.2f, 1}},
        ParameterCase{"centripetal",
                      {{0, 0, 0}, {0, 1, 0}, {0, 5, 0}},
                      {kCentripetal, false},
                      {0, 1.0f / 3.0f, 1}},
        ParameterCase{"uniform",
                      {{0, 0, 0}, {0, 1, 0}, {0, 5, 0}, {0, 6, 0}, {0, 9, 0}},
                      {kUniform, false},
                      {0, 0.25f, 0.5f, 0.75f, 1}},
        ParameterCase{"closed chord",
                      {{0, 0, 0}, {0, 3, 0}, {0, 3, 4}},
                      {kChord, true},
                      {0, 0.25f, 7.0f / 12.0f}},
        ParameterCase{"closed centripetal",
                      {{0, 0, 0}, {0, 3, 0}, {0, 3, 4}},
                      {kCentripetal, true},
                      {0, kRoot3 / kRootSum, (kRoot3 + 2.0f) / kRootSum}},
        ParameterCase{"closed uniform",
                      {{0, 0, 0}, {0, 3, 0}, {0, 3, 4}, {0, 0, 9}},
                      {kUniform, true},
                      {0, 0.25f, 0.5f, 0.75f}}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name) ch = ch == ' ' ? '_' : ch;
        return name;
    });

TEST(LoftParameterValues, ChordLengthKeepsTheBitsOfTheSectionParameters) {
    const std::vector<PointH> net = ringNet(7, 9, 3);
    std::vector<float> before(9), now(9);
    ASSERT_TRUE(computeSectionParameters(&net[0].x, 7, 9, before.data()));
    ASSERT_TRUE(computeLoftParameters(&net[0].x, 7, 9, LoftOptions(), now.data()));
    EXPECT_EQ(0, memcmp(before.data(), now.data(), sizeof(float) * 9));
}

// The homogeneous point, or its d-th derivative in v, of column t of a net of `rows` rows of
// cols points on the V knots U with order `order` (derivative control points as in The NURBS
// Book, eq. 3.8, applied d times).
void columnDerivative(const std::vector<PointH>& net, int cols, int rows, int order,
                      std::vector<float> U, int t, int d, float v, float out[4]) {
    std::vector<PointH> P(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i)
        P[static_cast<size_t>(i)] = net[static_cast<size_t>(i) * cols + t];
    int p = order - 1;
    for (int k = 0; k < d; ++k, --p) {
        for (size_t i = 0; i + 1 < P.size(); ++i) {
            const float f = static_cast<float>(p) / (U[i + p + 1] - U[i + 1]);
            P[i] = {f * (P[i + 1].x - P[i].x), f * (P[i + 1].y - P[i].y), f * (P[i + 1].z - P[i].z),
                    f * (P[i + 1].w - P[i].w)};
        }
        P.pop_back();
        U.erase(U.begin());
        U.pop_back();
    }
    const int n = static_cast<int>(P.size()) - 1;
    const int span = findKnotSpan(n, p, v, U.data());
    std::vector<float> N(static_cast<size_t>(p) + 1);
    evaluateBasis(N.data(), span, v, p, U.data());
    for (int c = 0; c < 4; ++c) out[c] = 0.0f;
    for (int r = 0; r <= p; ++r) {
        const PointH& Q = P[static_cast<size_t>(span - p - 1 + r)];
        out[0] += N[r] * Q.x;
        out[1] += N[r] * Q.y;
        out[2] += N[r] * Q.z;
        out[3] += N[r] * Q.w;
    }
}

struct LoftCase {
    int countU, countV, orderU, orderV;
    unsigned seed;
    LoftOptions options;
};

void PrintTo(const LoftCase& c, std::ostream* os) {
    *os << c.countU << "x" << c.countV << " orders " << c.orderU << "," << c.orderV << " "
        << loftParametersName(c.options.parameters) << (c.options.closed ? " closed" : " open");
}

class LoftThroughSections : public ::testing::TestWithParam<LoftCase> {};

// Section k of the skinned surface, at v = its parameter, is section k's own curve: compared at
// several u through the saved form of the surface (its V knots, its rows, unclamped if closed).
TEST_P(LoftThroughSections, EverySectionCurveLiesOnTheSurface) {
    const LoftCase& c = GetParam();
    const SurfaceModel s =
        makeSurface(c.countU, c.countV, c.orderU, c.orderV, ringNet(c.countU, c.countV, c.seed));
    DerivedNets derived;
    std::string refusal;
    ASSERT_TRUE(skinSurface(s, c.options, derived, refusal)) << refusal;
    ASSERT_TRUE(skinnedNetUsable(s, true, derived));
    SurfaceModel skinned;
    const SurfaceModel& shown = surfaceToSave(s, true, derived, skinned);
    ASSERT_TRUE(surfaceIsUsable(shown));

    std::vector<float> v(static_cast<size_t>(c.countV));
    ASSERT_TRUE(computeLoftParameters(&s.controlNet[0].x, c.countU, c.countV, c.options, v.data()));
    std::vector<float> at = v;
    if (c.options.closed) {
        std::vector<float> U(static_cast<size_t>(c.countV + 2 * c.orderV - 1));
        closedLoftKnots(v.data(), c.countV, c.orderV, U.data(), at.data());
        EXPECT_EQ(U, derived.skinnedKnotsV);
    }
    for (int k = 0; k < c.countV; ++k) {
        SurfaceModel section = makeSurface(c.countU, 1, c.orderU, 1, {});
        section.controlNet.assign(s.controlNet.begin() + k * c.countU,
                                  s.controlNet.begin() + (k + 1) * c.countU);
        for (float u : {0.0f, 0.3f, 0.5f, 0.77f, 1.0f}) {
            float want[3], got[3];
            ASSERT_TRUE(evaluateSurfacePoint(section, want[0], want[1], want[2], u, 0.5f));
            ASSERT_TRUE(evaluateSurfacePoint(shown, got[0], got[1], got[2], u, at[k]));
            for (int d = 0; d < 3; ++d) EXPECT_NEAR(got[d], want[d], 2e-4f) << k << " u " << u;
        }
    }

    if (!c.options.closed) return;
    // The seam: where the drawn stretch ends the surface starts again with the same point and
    // the same first orderV - 2 derivatives across the sections, in every column.
    const int rows = skinnedCountV(s, derived);
    const int q = c.orderV - 1;
    const std::vector<float>& U = derived.skinnedKnotsV;
    for (int t = 0; t < c.countU; ++t) {
        for (int d = 0; d < q; ++d) {
            float start[4], end[4];
            columnDerivative(derived.skinnedNet, c.countU, rows, c.orderV, U, t, d, U[q], start);
            columnDerivative(derived.skinnedNet, c.countU, rows, c.orderV, U, t, d,
                             U[static_cast<size_t>(rows)], end);
            for (int e = 0; e < 4; ++e) {
                const float scale = 1.0f + std::fabs(start[e]);
                EXPECT_NEAR(start[e], end[e], 2e-4f * scale) << "column " << t << " d " << d;
            }
        }
    }
}

std::vector<LoftCase> loftCases() {
    std::vector<LoftCase> cases;
    const LoftCase shapes[] = {{5, 4, 3, 3, 1, {}},
                               {6, 7, 4, 4, 2, {}},
                               {7, 5, 4, 3, 3, {}},
                               {4, 9, 3, 5, 4, {}},
                               {5, 3, 2, 2, 5, {}}};
    for (const LoftCase& shape : shapes) {
        for (LoftParameters p : {kChord, kCentripetal, kUniform}) {
            for (bool closed : {false, true}) {
                LoftCase c = shape;
                c.options = {p, closed};
                cases.push_back(c);
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Nets, LoftThroughSections, ::testing::ValuesIn(loftCases()));

// The cyclic elimination against the dense one on the same wrapped matrix. Row i holds columns
// i - below .. i + above (mod n); the columns are numbered from `above` on, as the closed loft
// numbers its control points, so rows wrap on the left only. The diagonal value is scaled by
// `diagonal`, the others lie in 0.1 .. 1: at 40 and 4 the band is eliminated around the
// diagonal without pivoting (unless n is too small to leave room for the border); at 0.01 the
// diagonal pivots would blow the factors up, and the pivoting elimination takes over.
struct CyclicCase {
    int n, below, above;
    unsigned seed;
    float diagonal;
};

class CyclicSolver : public ::testing::TestWithParam<CyclicCase> {};

TEST_P(CyclicSolver, AgreesWithTheDenseElimination) {
    const CyclicCase& c = GetParam();
    const int count = c.below + c.above + 1;
    std::mt19937 random(c.seed);
    std::uniform_real_distribution<float> value(0.1f, 1.0f);
    std::vector<float> values(static_cast<size_t>(c.n * count));
    std::vector<BandRow> rows(static_cast<size_t>(c.n));
    std::vector<float> A(static_cast<size_t>(c.n * c.n), 0.0f);
    for (int i = 0; i < c.n; ++i) {
        float* row = values.data() + i * count;
        const int first = i - c.below - c.above;
        for (int r = 0; r < count; ++r) {
            const float scale = r == c.below ? c.diagonal : 1.0f;
            row[r] = value(random) * scale;
            A[static_cast<size_t>(i * c.n + (first + r + c.n) % c.n)] = row[r];
        }
        rows[static_cast<size_t>(i)] = {first, count, row};
    }
    const int nrhs = 3;
    std::vector<float> B(static_cast<size_t>(c.n * nrhs));
    for (float& b : B) b = value(random) * 10.0f - 5.0f;
    std::vector<float> Bcopy = B, X(B.size());
    ASSERT_TRUE(solveCyclicBandRows(rows, Bcopy.data(), X.data(), nrhs));
    for (int j = 0; j < nrhs; ++j) {
        std::vector<float> b(static_cast<size_t>(c.n)), x(static_cast<size_t>(c.n));
        for (int i = 0; i < c.n; ++i)
            b[static_cast<size_t>(i)] = B[static_cast<size_t>(i * nrhs + j)];
        solveLinearSystem(A.data(), b.data(), x.data(), c.n);
        for (int i = 0; i < c.n; ++i) {
            EXPECT_NEAR(X[static_cast<size_t>(i * nrhs + j)], x[static_cast<size_t>(i)],
                        1e-3f * (1.0f + std::fabs(x[static_cast<size_t>(i)])))
                << "row " << i << " rhs " << j;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Bands, CyclicSolver,
    ::testing::Values(CyclicCase{3, 1, 1, 1, 4.0f}, CyclicCase{8, 1, 1, 2, 4.0f},
                      CyclicCase{9, 2, 1, 3, 4.0f}, CyclicCase{12, 1, 2, 4, 0.01f},
                      CyclicCase{7, 2, 2, 5, 0.01f}, CyclicCase{5, 2, 2, 6, 4.0f},
                      CyclicCase{10, 0, 1, 7, 0.01f}, CyclicCase{40, 2, 1, 8, 0.01f},
                      CyclicCase{5, 1, 1, 9, 40.0f}, CyclicCase{5, 2, 2, 10, 40.0f},
                      CyclicCase{12, 1, 2, 11, 40.0f}, CyclicCase{30, 3, 1, 12, 40.0f},
                      CyclicCase{200, 2, 1, 13, 40.0f}, CyclicCase{60, 2, 2, 14, 4.0f},
                      CyclicCase{16, 0, 2, 15, 40.0f}, CyclicCase{16, 2, 0, 16, 40.0f}));

// Refusals leave the skinned net of the last skinning in place, bit for bit.
struct RefusalCase {
    const char* name;
    SurfaceModel surface;
    LoftOptions options;
    const char* reason;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class LoftRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(LoftRefusal, KeepsThePreviousSkinnedNet) {
    const RefusalCase& c = GetParam();
    DerivedNets derived;
    std::string refusal;
    const SurfaceModel good = makeSurface(5, 4, 3, 3, ringNet(5, 4, 9));
    ASSERT_TRUE(skinSurface(good, {kChord, true}, derived, refusal));
    const DerivedNets before = derived;
    EXPECT_FALSE(skinSurface(c.surface, c.options, derived, refusal));
    EXPECT_NE(refusal.find(c.reason), std::string::npos) << refusal;
    ASSERT_EQ(derived.skinnedNet.size(), before.skinnedNet.size());
    EXPECT_EQ(0, memcmp(derived.skinnedNet.data(), before.skinnedNet.data(),
                        before.skinnedNet.size() * sizeof(PointH)));
    EXPECT_EQ(derived.skinnedKnotsV, before.skinnedKnotsV);
}

SurfaceModel withSection(SurfaceModel s, int to, int from) {
    for (int j = 0; j < s.countU; ++j)
        s.controlNet[static_cast<size_t>(to * s.countU + j)] =
            s.controlNet[static_cast<size_t>(from * s.countU + j)];
    return s;
}

// Sections near the top of the float range, alternately on either side: their interpolation
// swings past it.
SurfaceModel huge() {
    std::vector<PointH> net = ringNet(5, 4, 9);
    for (size_t i = 0; i < net.size(); ++i) net[i].x = (i / 5) % 2 == 0 ? 3e38f : -3e38f;
    return makeSurface(5, 4, 3, 3, net);
}

const SurfaceModel kRings = makeSurface(5, 4, 3, 3, ringNet(5, 4, 9));

INSTANTIATE_TEST_SUITE_P(Cases, LoftRefusal,
                         ::testing::Values(RefusalCase{"closed_two_sections",
                                                       makeSurface(5, 2, 3, 2, ringNet(5, 2, 1)),
                                                       {kChord, true},
                                                       "at least three sections"},
                                           RefusalCase{"uniform_coinciding",
                                                       withSection(kRings, 2, 1),
                                                       {kUniform, false},
                                                       "sections 1 and 2 lie at the same place"},
                                           RefusalCase{"centripetal_coinciding",
                                                       withSection(kRings, 2, 1),
                                                       {kCentripetal, false},
                                                       "sections 1 and 2 lie at the same place"},
                                           RefusalCase{"closed_last_is_first",
                                                       withSection(kRings, 3, 0),
                                                       {kChord, true},
                                                       "sections 3 and 0 lie at the same place"},
                                           RefusalCase{"closed_uniform_last_is_first",
                                                       withSection(kRings, 3, 0),
                                                       {kUniform, true},
                                                       "sections 3 and 0 lie at the same place"},
                                           RefusalCase{
                                               "out_of_range", huge(), {kUniform, true}, "range"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A skinned closed loft saved and loaded is the surface shown: rows, unclamped knots and points
// within the file's six decimals.
TEST(ClosedLoftFile, SavedAndLoadedItIsTheSurfaceShown) {
    const SurfaceModel s = makeSurface(6, 5, 4, 4, ringNet(6, 5, 11));
    DerivedNets derived;
    std::string refusal;
    ASSERT_TRUE(skinSurface(s, {kCentripetal, true}, derived, refusal)) << refusal;
    SurfaceModel skinned;
    const SurfaceModel& saved = surfaceToSave(s, true, derived, skinned);
    const std::string path = testsupport::scratchDir() + "/closed-loft.surf";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(path.c_str(), saved, error)) << error;
    SurfaceModel loaded;
    ASSERT_TRUE(readSurfaceFile(path.c_str(), loaded, error)) << error;
    EXPECT_EQ(loaded.countV, 5 + 3);
    EXPECT_EQ(loaded.knotCountV, 5 + 7);
    ASSERT_TRUE(surfaceIsUsable(loaded));
    for (size_t i = 0; i < saved.knotsV.size(); ++i)
        EXPECT_NEAR(loaded.knotsV[i], saved.knotsV[i], 1e-6f);
    for (float v : {0.0f, 0.2f, 0.61f, 0.99f}) {
        float a[3], b[3];
        ASSERT_TRUE(evaluateSurfacePoint(saved, a[0], a[1], a[2], 0.4f, v));
        ASSERT_TRUE(evaluateSurfacePoint(loaded, b[0], b[1], b[2], 0.4f, v));
        for (int d = 0; d < 3; ++d) EXPECT_NEAR(a[d], b[d], 1e-4f);
    }
}

// The command line: the options reach the kernel (the file is the one written in-process) and
// bad options are usage errors.
struct CommandCase {
    std::vector<std::string> options;
    int status;
    const char* message;
    LoftOptions expected;
};

class SkinCommandOptions : public ::testing::TestWithParam<CommandCase> {};

TEST_P(SkinCommandOptions, WritesTheLoftOfItsOptions) {
    const CommandCase& c = GetParam();
    const std::string in = testsupport::scratchDir() + "/rings.surf";
    const std::string out = testsupport::scratchDir() + "/rings-skinned.surf";
    std::string error;
    const SurfaceModel s = makeSurface(5, 4, 3, 3, ringNet(5, 4, 13));
    ASSERT_TRUE(writeSurfaceFile(in.c_str(), s, error));
    SurfaceModel input;
    ASSERT_TRUE(readSurfaceFile(in.c_str(), input, error));  // as the command reads it
    remove(out.c_str());
    std::vector<std::string> args = {"skin", in, out};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const testsupport::ProcessResult run = testsupport::runLoftwork(args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE((run.err + run.out).find(c.message), std::string::npos) << run.err;
    SurfaceModel written;
    if (c.status != 0) {
        EXPECT_FALSE(readSurfaceFile(out.c_str(), written, error));
        return;
    }
    ASSERT_TRUE(readSurfaceFile(out.c_str(), written, error)) << error;
    DerivedNets derived;
    ASSERT_TRUE(skinSurface(input, c.expected, derived, error));
    SurfaceModel skinned;
    const std::string here = testsupport::scratchDir() + "/rings-here.surf";
    ASSERT_TRUE(
        writeSurfaceFile(here.c_str(), surfaceToSave(input, true, derived, skinned), error));
    // The same text after the line naming the file.
    const std::string a = testsupport::readAll(here), b = testsupport::readAll(out);
    EXPECT_EQ(a.substr(a.find('\n')), b.substr(b.find('\n')));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, SkinCommandOptions,
    ::testing::Values(CommandCase{{}, 0, "", {kChord, false}},
                      CommandCase{{"--params", "centripetal"}, 0, "", {kCentripetal, false}},
                      CommandCase{{"--closed", "--params", "uniform"}, 0, "", {kUniform, true}},
                      CommandCase{
                          {"--align", "--closed"}, 0, "align all: 0 sections", {kChord, true}},
                      CommandCase{{"--rational", "compatible"},
                                  0,
                                  "3 of 4 sections took",
                                  [] {
                                      LoftOptions o;  // the rings' random weights in common
                                      o.rational = LoftRational::compatible;
                                      return o;
                                  }()},
                      CommandCase{{"--rational", "exact"}, 2, "--rational needs", {}},
                      CommandCase{{"--params"}, 2, "--params needs", {}},
                      CommandCase{{"--params", "arc"}, 2, "unknown section parameters", {}},
                      CommandCase{{"--twist"}, 2, "unknown skin option", {}}));

TEST(SkinCommandOptions, AClosedLoftOfTwoSectionsIsRefused) {
    const std::string in = testsupport::scratchDir() + "/two.surf";
    std::string error;
    ASSERT_TRUE(writeSurfaceFile(in.c_str(), makeSurface(5, 2, 3, 2, ringNet(5, 2, 1)), error));
    const testsupport::ProcessResult run =
        testsupport::runLoftwork({"skin", in, testsupport::scratchDir() + "/x.surf", "--closed"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("at least three sections"), std::string::npos) << run.err;
}

// Each change of "loft parameters" or "closed loft" is one step: undo brings back the options the
// controls showed and the skinned net of that moment, redo the later ones, bit for bit.
TEST(LoftOptionsUndo, EachChangeIsOneStepThatComesBackWithItsSkinnedNet) {
    editor = EditorState();
    editor.surface = makeSurface(6, 5, 3, 3, ringNet(6, 5, 7));
    editor.derived.multiplicity = 1;
    editor.panel.skinningEnabled = 1;
    surfaceEdited(editor, EditEffect::movedPoints);
    struct Stage {
        LoftOptions options;
        std::vector<PointH> net;
    };
    std::vector<Stage> stages = {{{kChord, false}, editor.derived.skinnedNet}};
    const LoftOptions changes[] = {{kCentripetal, false}, {kCentripetal, true}, {kUniform, true}};
    for (const LoftOptions& o : changes) {
        editor.panel.loftParameters = static_cast<int32_t>(o.parameters);
        editor.panel.closedLoft = o.closed ? 1 : 0;
        loftOptionsChanged(editor);
        DerivedNets expected;
        std::string error;
        ASSERT_TRUE(skinSurface(editor.surface, o, expected, error)) << error;
        ASSERT_EQ(editor.derived.skinnedNet.size(), expected.skinnedNet.size());
        EXPECT_EQ(0, memcmp(editor.derived.skinnedNet.data(), expected.skinnedNet.data(),
                            expected.skinnedNet.size() * sizeof(PointH)));
        stages.push_back({o, editor.derived.skinnedNet});
    }
    ASSERT_EQ(editor.history.undoSteps.size(), 3u);
    EXPECT_EQ(editor.history.undoSteps[1].name, "closed loft on");
    EXPECT_EQ(editor.history.undoSteps[2].name, "loft parameters uniform");
    auto expectStage = [](const Stage& stage, const char* when) {
        EXPECT_EQ(editor.panel.loftParameters, static_cast<int32_t>(stage.options.parameters))
            << when;
        EXPECT_EQ(editor.panel.closedLoft != 0, stage.options.closed) << when;
        ASSERT_EQ(editor.derived.skinnedNet.size(), stage.net.size()) << when;
        EXPECT_EQ(0, memcmp(editor.derived.skinnedNet.data(), stage.net.data(),
                            stage.net.size() * sizeof(PointH)))
            << when;
    };
    for (int k = 2; k >= 0; --k) {
        ASSERT_TRUE(undoEdit(editor));
        expectStage(stages[static_cast<size_t>(k)], "undo");
    }
    EXPECT_FALSE(undoEdit(editor));
    ASSERT_TRUE(redoEdit(editor));
    ASSERT_TRUE(redoEdit(editor));
    expectStage(stages[2], "redo");
    // With skinning off a change is still a step, and its undo is what the next skin uses.
    editor.panel.skinningEnabled = 0;
    editor.panel.loftParameters = static_cast<int32_t>(kUniform);
    loftOptionsChanged(editor);
    ASSERT_TRUE(undoEdit(editor));
    EXPECT_EQ(editor.panel.loftParameters, static_cast<int32_t>(kCentripetal));
    EXPECT_EQ(loftOptionsOf(editor.panel).parameters, kCentripetal);
}

}  // namespace
