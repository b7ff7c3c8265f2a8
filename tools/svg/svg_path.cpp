// SVG paths to path records: a small XML scanner that follows the element
// nesting for transforms, a path-data parser, and the record writer.
#include "tools/svg/svg_path.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

namespace rf::tools {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Failures deep in the parsers travel as this, and become the one-line
// message at the entry points.
struct SvgFailure {
  std::string message;
};

[[noreturn]] void Refuse(int line, const std::string& what) {
  throw SvgFailure{"line " + std::to_string(line) + ": " + what};
}

// A short, printable excerpt of the text at `pos` for messages.
std::string Near(const std::string& text, size_t pos) {
  std::string s;
  for (size_t i = pos; i < text.size() && s.size() < 12; ++i) {
    const char c = text[i];
    s += (c >= 32 && c < 127) ? c : ' ';
  }
  return s.empty() ? "the end" : "'" + s + "'";
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ---- Affine transforms ----------------------------------------------------------

// x' = a x + c y + e, y' = b x + d y + f, as in SVG's matrix(a b c d e f).
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};

// The transform that applies `inner` first, then `outer`.
Matrix Compose(const Matrix& outer, const Matrix& inner) {
  return {outer.a * inner.a + outer.c * inner.b,           outer.b * inner.a + outer.d * inner.b,
          outer.a * inner.c + outer.c * inner.d,           outer.b * inner.c + outer.d * inner.d,
          outer.a * inner.e + outer.c * inner.f + outer.e, outer.b * inner.e + outer.d * inner.f + outer.f};
}

void Transform(const Matrix& m, double& x, double& y) {
  const double tx = m.a * x + m.c * y + m.e;
  y = m.b * x + m.d * y + m.f;
  x = tx;
}

// ---- Numbers and separators ---------------------------------------------------------

// Reads the number grammar shared by path data and transform lists.
class Scanner {
 public:
  Scanner(const std::string& text, int line) : text(text), line(line) {}

  void SkipSpaces() {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
  }
  // Spaces with at most one comma among them.
  void SkipSeparator() {
    SkipSpaces();
    if (pos < text.size() && text[pos] == ',') {
      ++pos;
      SkipSpaces();
    }
  }
  bool AtEnd() const { return pos >= text.size(); }
  char Peek() const { return pos < text.size() ? text[pos] : '\0'; }
  bool AtNumber() const {
    const char c = Peek();
    return IsDigit(c) || c == '-' || c == '+' || c == '.';
  }

  double Number() {
    const size_t start = pos;
    size_t p = pos;
    if (p < text.size() && (text[p] == '-' || text[p] == '+')) ++p;
    const size_t mantissa = p;
    while (p < text.size() && IsDigit(text[p])) ++p;
    size_t digits = p - mantissa;
    if (p < text.size() && text[p] == '.') {
      ++p;
      const size_t fraction = p;
      while (p < text.size() && IsDigit(text[p])) ++p;
      digits += p - fraction;
    }
    if (digits == 0) Refuse(line, "expected a number near " + Near(text, start));
    bool negativeExponent = false;
    if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
      size_t q = p + 1;
      if (q < text.size() && (text[q] == '-' || text[q] == '+')) negativeExponent = text[q++] == '-';
      if (q < text.size() && IsDigit(text[q])) {
        while (q < text.size() && IsDigit(text[q])) ++q;
        p = q;
      } else {
        negativeExponent = false;
      }
    }
    // from_chars takes no '+' and no locale: the text is always C notation.
    const size_t first = text[start] == '+' ? start + 1 : start;
    double value = 0.0;
    const std::from_chars_result r = std::from_chars(text.data() + first, text.data() + p, value);
    if (r.ec == std::errc::result_out_of_range) {
      if (!negativeExponent) Refuse(line, "number out of range near " + Near(text, start));
      value = 0.0;
    } else if (r.ec != std::errc() || r.ptr != text.data() + p) {
      Refuse(line, "expected a number near " + Near(text, start));
    }
    pos = p;
    return value;
  }

  // An arc flag: a single 0 or 1, which may touch the next number.
  bool Flag() {
    const char c = Peek();
    if (c != '0' && c != '1') Refuse(line, "expected an arc flag (0 or 1) near " + Near(text, pos));
    ++pos;
    return c == '1';
  }

  const std::string& text;
  size_t pos = 0;
  int line;
};

// ---- Transform lists ---------------------------------------------------------------

Matrix ParseTransform(const std::string& text, int line) {
  Scanner s(text, line);
  Matrix m;
  s.SkipSeparator();
  while (!s.AtEnd()) {
    const size_t start = s.pos;
    std::string name;
    while (!s.AtEnd() && ((s.Peek() >= 'a' && s.Peek() <= 'z') || (s.Peek() >= 'A' && s.Peek() <= 'Z')))
      name += text[s.pos++];
    s.SkipSpaces();
    if (name.empty() || s.Peek() != '(') Refuse(line, "bad transform near " + Near(text, start));
    ++s.pos;
    std::vector<double> v;
    s.SkipSpaces();
    while (s.Peek() != ')') {
      if (s.AtEnd() || v.size() == 6) Refuse(line, "bad transform near " + Near(text, start));
      v.push_back(s.Number());
      s.SkipSeparator();
    }
    ++s.pos;
    const size_t n = v.size();
    auto expect = [&](bool ok) {
      if (!ok) Refuse(line, "wrong number of values in " + name + "()");
    };
    Matrix t;
    if (name == "matrix") {
      expect(n == 6);
      t = {v[0], v[1], v[2], v[3], v[4], v[5]};
    } else if (name == "translate") {
      expect(n == 1 || n == 2);
      t.e = v[0];
      t.f = n == 2 ? v[1] : 0.0;
    } else if (name == "scale") {
      expect(n == 1 || n == 2);
      t.a = v[0];
      t.d = n == 2 ? v[1] : v[0];
    } else if (name == "rotate") {
      expect(n == 1 || n == 3);
      const double r = v[0] * kPi / 180.0;
      const Matrix turn{std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0};
      if (n == 3) {
        t = Compose(Compose(Matrix{1, 0, 0, 1, v[1], v[2]}, turn), Matrix{1, 0, 0, 1, -v[1], -v[2]});
      } else {
        t = turn;
      }
    } else if (name == "skewX") {
      expect(n == 1);
      t.c = std::tan(v[0] * kPi / 180.0);
    } else if (name == "skewY") {
      expect(n == 1);
      t.b = std::tan(v[0] * kPi / 180.0);
    } else {
      Refuse(line, "unknown transform '" + name + "'");
    }
    // The list applies right to left: the last transform is nearest the path.
    m = Compose(m, t);
    s.SkipSeparator();
  }
  return m;
}

// ---- Building subpaths ---------------------------------------------------------------

// Collects the knots of one path element in user units and hands each
// finished subpath over in image pixels.
class PathBuilder {
 public:
  PathBuilder(const Matrix& m, int line, std::vector<SvgSubpath>& out, size_t& knotTotal)
      : matrix(m), line(line), out(out), knotTotal(knotTotal) {}

  void MoveTo(double x, double y) {
    Finish();
    Start(x, y);
  }

  void CubicTo(double x1, double y1, double x2, double y2, double x, double y) {
    SvgKnot& last = current.knots.back();
    last.outX = x1;
    last.outY = y1;
    AddKnot({x2, y2, x, y, x, y});
  }

  // Lines are cubics with their controls on the anchors.
  void LineTo(double x, double y) {
    const SvgKnot& last = current.knots.back();
    CubicTo(last.x, last.y, x, y, x, y);
  }

  // A closing command whose last point is the first one joins them into one
  // knot, so that the closing curve of the subpath is not a curve of length 0.
  void Close() {
    if (!open) return;
    std::vector<SvgKnot>& k = current.knots;
    if (k.size() > 1 && k.back().x == k.front().x && k.back().y == k.front().y) {
      k.front().inX = k.back().inX;
      k.front().inY = k.back().inY;
      k.pop_back();
    }
    current.closed = true;
    Finish();
  }

  // Drawing after a close starts a new subpath at the current point.
  void Reopen(double x, double y) {
    if (!open) Start(x, y);
  }

  void Finish() {
    if (!open) return;
    open = false;
    std::vector<SvgKnot>& k = current.knots;
    const bool lone =
        k.size() == 1 && k[0].inX == k[0].x && k[0].inY == k[0].y && k[0].outX == k[0].x && k[0].outY == k[0].y;
    if (k.empty() || (!current.closed && k.size() < 2) || (current.closed && lone)) return;
    for (SvgKnot& knot : k) {
      Transform(matrix, knot.inX, knot.inY);
      Transform(matrix, knot.x, knot.y);
      Transform(matrix, knot.outX, knot.outY);
    }
    out.push_back(std::move(current));
  }

 private:
  void Start(double x, double y) {
    current = SvgSubpath();
    open = true;
    AddKnot({x, y, x, y, x, y});
  }

  void AddKnot(const SvgKnot& knot) {
    if (++knotTotal > kMaxSvgKnots)
      Refuse(line, "more than " + std::to_string(kMaxSvgKnots) + " path points in the file");
    current.knots.push_back(knot);
  }

  Matrix matrix;
  int line;
  std::vector<SvgSubpath>& out;
  size_t& knotTotal;
  SvgSubpath current;
  bool open = false;
};

// An elliptical arc from (x1, y1) to (x2, y2) as cubics of at most a quarter
// turn each, by the endpoint-to-centre conversion of the SVG rules
// (radii too small for the endpoints are scaled up until they fit).
void ArcTo(PathBuilder& b, double x1, double y1, double rx, double ry, double degrees, bool large, bool sweep,
           double x2, double y2) {
  if (x1 == x2 && y1 == y2) return;
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (rx == 0.0 || ry == 0.0) {
    b.LineTo(x2, y2);
    return;
  }
  const double phi = std::fmod(degrees, 360.0) * kPi / 180.0;
  const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
  const double dx = (x1 - x2) / 2.0, dy = (y1 - y2) / 2.0;
  const double xp = cosPhi * dx + sinPhi * dy;
  const double yp = -sinPhi * dx + cosPhi * dy;
  const double lambda = (xp * xp) / (rx * rx) + (yp * yp) / (ry * ry);
  if (lambda > 1.0) {
    rx *= std::sqrt(lambda);
    ry *= std::sqrt(lambda);
  }
  const double num = rx * rx * ry * ry - rx * rx * yp * yp - ry * ry * xp * xp;
  const double den = rx * rx * yp * yp + ry * ry * xp * xp;
  double coef = den > 0.0 ? std::sqrt(std::max(0.0, num / den)) : 0.0;
  if (large == sweep) coef = -coef;
  const double cxp = coef * rx * yp / ry;
  const double cyp = -coef * ry * xp / rx;
  const double cx = cosPhi * cxp - sinPhi * cyp + (x1 + x2) / 2.0;
  const double cy = sinPhi * cxp + cosPhi * cyp + (y1 + y2) / 2.0;
  const double theta1 = std::atan2((yp - cyp) / ry, (xp - cxp) / rx);
  double delta = std::atan2((-yp - cyp) / ry, (-xp - cxp) / rx) - theta1;
  if (!sweep && delta > 0.0) delta -= 2.0 * kPi;
  if (sweep && delta < 0.0) delta += 2.0 * kPi;
  if (!std::isfinite(delta) || !std::isfinite(cx) || !std::isfinite(cy)) {
    b.LineTo(x2, y2);
    return;
  }

  const int pieces = std::max(1, int(std::ceil(std::fabs(delta) / (kPi / 2.0) - 1e-9)));
  const double step = delta / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4.0);
  auto onEllipse = [&](double ux, double uy, double& x, double& y) {
    x = cx + rx * cosPhi * ux - ry * sinPhi * uy;
    y = cy + rx * sinPhi * ux + ry * cosPhi * uy;
  };
  double a0 = theta1;
  for (int i = 0; i < pieces; ++i) {
    const double a1 = a0 + step;
    double c1x, c1y, c2x, c2y, ex, ey;
    onEllipse(std::cos(a0) - k * std::sin(a0), std::sin(a0) + k * std::cos(a0), c1x, c1y);
    onEllipse(std::cos(a1) + k * std::sin(a1), std::sin(a1) - k * std::cos(a1), c2x, c2y);
    onEllipse(std::cos(a1), std::sin(a1), ex, ey);
    // The last piece ends exactly on the given endpoint.
    if (i + 1 == pieces) {
      ex = x2;
      ey = y2;
    }
    b.CubicTo(c1x, c1y, c2x, c2y, ex, ey);
    a0 = a1;
  }
}

bool IsCommand(char c) { return c != '\0' && std::strchr("MmZzLlHhVvCcSsQqTtAa", c) != nullptr; }

void ParsePathData(const std::string& d, PathBuilder& b, int line) {
  Scanner s(d, line);
  double cx = 0, cy = 0;          // current point
  double sx = 0, sy = 0;          // start of the subpath
  double lastCx = 0, lastCy = 0;  // second control of the last cubic, for S
  double lastQx = 0, lastQy = 0;  // control of the last quadratic, for T
  char previous = 0;              // the last command made (upper case)
  bool first = true;
  s.SkipSpaces();
  while (!s.AtEnd()) {
    const char command = s.Peek();
    if (!IsCommand(command)) Refuse(line, "bad path data near " + Near(d, s.pos));
    if (first && command != 'M' && command != 'm') Refuse(line, "path data must begin with M or m");
    first = false;
    ++s.pos;
    if (command == 'Z' || command == 'z') {
      b.Close();
      cx = sx;
      cy = sy;
      previous = 'Z';
      s.SkipSpaces();
      continue;
    }
    char c = command;
    do {
      s.SkipSpaces();
      const bool relative = c >= 'a' && c <= 'z';
      const double ox = relative ? cx : 0.0, oy = relative ? cy : 0.0;
      auto x = [&] {
        const double v = s.Number() + ox;
        s.SkipSeparator();
        return v;
      };
      auto y = [&] {
        const double v = s.Number() + oy;
        s.SkipSeparator();
        return v;
      };
      const char upper = char(relative ? c - 'a' + 'A' : c);
      if (upper != 'M') b.Reopen(cx, cy);
      switch (upper) {
        case 'M': {
          const double px = x(), py = y();
          b.MoveTo(px, py);
          cx = sx = px;
          cy = sy = py;
          // Further pairs after a moveto are lines.
          c = relative ? 'l' : 'L';
          break;
        }
        case 'L': {
          const double px = x(), py = y();
          b.LineTo(px, py);
          cx = px;
          cy = py;
          break;
        }
        case 'H':
          cx = x();
          b.LineTo(cx, cy);
          break;
        case 'V':
          cy = y();
          b.LineTo(cx, cy);
          break;
        case 'C':
        case 'S': {
          double x1 = cx, y1 = cy;
          if (upper == 'C') {
            x1 = x();
            y1 = y();
          } else if (previous == 'C' || previous == 'S') {
            x1 = 2 * cx - lastCx;
            y1 = 2 * cy - lastCy;
          }
          const double x2 = x(), y2 = y(), px = x(), py = y();
          b.CubicTo(x1, y1, x2, y2, px, py);
          lastCx = x2;
          lastCy = y2;
          cx = px;
          cy = py;
          break;
        }
        case 'Q':
        case 'T': {
          double qx = cx, qy = cy;
          if (upper == 'Q') {
            qx = x();
            qy = y();
          } else if (previous == 'Q' || previous == 'T') {
            qx = 2 * cx - lastQx;
            qy = 2 * cy - lastQy;
          }
          const double px = x(), py = y();
          // The same curve as a cubic: controls two thirds of the way to q.
          b.CubicTo(cx + 2.0 / 3.0 * (qx - cx), cy + 2.0 / 3.0 * (qy - cy), px + 2.0 / 3.0 * (qx - px),
                    py + 2.0 / 3.0 * (qy - py), px, py);
          lastQx = qx;
          lastQy = qy;
          cx = px;
          cy = py;
          break;
        }
        case 'A': {
          const double rx = s.Number();
          s.SkipSeparator();
          const double ry = s.Number();
          s.SkipSeparator();
          const double rotation = s.Number();
          s.SkipSeparator();
          const bool large = s.Flag();
          s.SkipSeparator();
          const bool sweep = s.Flag();
          s.SkipSeparator();
          const double px = x(), py = y();
          ArcTo(b, cx, cy, rx, ry, rotation, large, sweep, px, py);
          cx = px;
          cy = py;
          break;
        }
      }
      previous = upper;
    } while (s.AtNumber());
  }
  b.Finish();
}

// ---- The XML around the paths ------------------------------------------------------------

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_' || c == ':' || c == '-' ||
         c == '.' || (unsigned char)c >= 0x80;
}

std::string LocalName(const std::string& name) {
  const size_t colon = name.rfind(':');
  return colon == std::string::npos ? name : name.substr(colon + 1);
}

// Containers whose paths are templates or clip shapes, not drawn strokes.
bool HidesContent(const std::string& name) {
  return name == "defs" || name == "symbol" || name == "clipPath" || name == "mask" || name == "marker" ||
         name == "pattern";
}

// Character references and the five predefined entities.
std::string DecodeEntities(const std::string& value, int line) {
  if (value.find('&') == std::string::npos) return value;
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '&') {
      out += value[i];
      continue;
    }
    const size_t end = value.find(';', i);
    if (end == std::string::npos || end - i > 10) Refuse(line, "bad character reference in an attribute");
    const std::string name = value.substr(i + 1, end - i - 1);
    if (name == "amp")
      out += '&';
    else if (name == "lt")
      out += '<';
    else if (name == "gt")
      out += '>';
    else if (name == "quot")
      out += '"';
    else if (name == "apos")
      out += '\'';
    else if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x' || name[1] == 'X';
      const std::string digits = name.substr(hex ? 2 : 1);
      unsigned code = 0;
      const std::from_chars_result r =
          std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
      if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size())
        Refuse(line, "bad character reference '&" + name + ";'");
      // Path data and transforms are ASCII; anything else only ends a number.
      out += code > 0 && code < 128 ? char(code) : ' ';
    } else {
      Refuse(line, "unknown entity '&" + name + ";'");
    }
    i = end;
  }
  return out;
}

class SvgReader {
 public:
  SvgReader(const std::string& text, std::vector<SvgSubpath>& out) : text(text), out(out) {}

  void Read() {
    if (text.find('\0') != std::string::npos) throw SvgFailure{"not an SVG document (binary data)"};
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    bool sawRoot = false;
    while (pos < text.size()) {
      const size_t lt = text.find('<', pos);
      if (lt == std::string::npos) break;
      pos = lt;
      if (Skip("<!--", "-->") || Skip("<![CDATA[", "]]>") || Skip("<?", "?>")) continue;
      if (text.compare(pos, 2, "<!") == 0) {
        SkipDeclaration();
        continue;
      }
      if (text.compare(pos, 2, "</") == 0) {
        CloseTag();
        continue;
      }
      const int line = LineAt(pos);
      if (!sawRoot) {
        const size_t save = pos;
        const std::string name = LocalName(ScanName(pos + 1));
        if (name != "svg") throw SvgFailure{"not an SVG document (the first element is <" + name + ">)"};
        pos = save;
        sawRoot = true;
      } else if (stack.empty()) {
        Refuse(line, "a second top-level element after </svg>");
      }
      OpenTag(line);
    }
    if (!sawRoot) throw SvgFailure{"not an SVG document (no <svg> element)"};
    if (!stack.empty())
      throw SvgFailure{"the file ends inside <" + stack.back().name + "> of line " + std::to_string(stack.back().line)};
  }

 private:
  struct Element {
    std::string name;
    Matrix matrix;
    bool hidden;
    int line;
  };

  int LineAt(size_t p) {
    for (; counted < p && counted < text.size(); ++counted)
      if (text[counted] == '\n') ++lineOfCounted;
    return lineOfCounted;
  }

  bool Skip(const char* open, const char* close) {
    if (text.compare(pos, std::strlen(open), open) != 0) return false;
    const size_t end = text.find(close, pos + std::strlen(open));
    if (end == std::string::npos) Refuse(LineAt(pos), std::string("unterminated ") + open);
    pos = end + std::strlen(close);
    return true;
  }

  // <!DOCTYPE ...> with an optional internal subset in brackets.
  void SkipDeclaration() {
    const int start = LineAt(pos);
    int depth = 0;
    char quote = 0;
    for (size_t p = pos + 2; p < text.size(); ++p) {
      const char c = text[p];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']') {
        --depth;
      } else if (c == '>' && depth <= 0) {
        pos = p + 1;
        return;
      }
    }
    Refuse(start, "unterminated <!");
  }

  std::string ScanName(size_t p) const {
    size_t end = p;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    return text.substr(p, end - p);
  }

  void SkipSpaces() {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
  }

  void CloseTag() {
    const int line = LineAt(pos);
    const std::string name = ScanName(pos + 2);
    pos += 2 + name.size();
    SkipSpaces();
    if (pos >= text.size() || text[pos] != '>') Refuse(line, "bad end tag </" + name);
    ++pos;
    if (stack.empty()) Refuse(line, "</" + name + "> closes nothing");
    if (stack.back().name != LocalName(name))
      Refuse(line, "</" + name + "> closes <" + stack.back().name + "> of line " + std::to_string(stack.back().line));
    stack.pop_back();
  }

  void OpenTag(int line) {
    const std::string raw = ScanName(pos + 1);
    if (raw.empty()) Refuse(line, "bad tag near " + Near(text, pos));
    const std::string name = LocalName(raw);
    pos += 1 + raw.size();
    std::string d, transform, display;
    bool haveD = false;
    bool selfClosing = false;
    while (true) {
      SkipSpaces();
      if (pos >= text.size()) Refuse(line, "the file ends inside <" + raw);
      if (text[pos] == '>') {
        ++pos;
        break;
      }
      if (text.compare(pos, 2, "/>") == 0) {
        pos += 2;
        selfClosing = true;
        break;
      }
      const std::string attribute = ScanName(pos);
      if (attribute.empty()) Refuse(line, "bad attribute in <" + raw + "> near " + Near(text, pos));
      pos += attribute.size();
      SkipSpaces();
      if (pos >= text.size() || text[pos] != '=')
        Refuse(line, "attribute " + attribute + " of <" + raw + "> has no value");
      ++pos;
      SkipSpaces();
      const char quote = pos < text.size() ? text[pos] : '\0';
      if (quote != '"' && quote != '\'') Refuse(line, "attribute " + attribute + " of <" + raw + "> is not quoted");
      const size_t end = text.find(quote, pos + 1);
      if (end == std::string::npos) Refuse(line, "unterminated value of " + attribute + " in <" + raw + ">");
      const std::string value = text.substr(pos + 1, end - pos - 1);
      pos = end + 1;
      if (attribute == "d") {
        d = DecodeEntities(value, line);
        haveD = true;
      } else if (attribute == "transform") {
        transform = DecodeEntities(value, line);
      } else if (attribute == "display") {
        display = value;
      }
    }

    Element e{name, stack.empty() ? Matrix() : stack.back().matrix, !stack.empty() && stack.back().hidden, line};
    if (!transform.empty()) e.matrix = Compose(e.matrix, ParseTransform(transform, line));
    if (HidesContent(name) || display == "none") e.hidden = true;
    if (name == "path" && haveD && !e.hidden) {
      PathBuilder builder(e.matrix, line, out, knotTotal);
      ParsePathData(d, builder, line);
    }
    if (!selfClosing) {
      if (stack.size() >= kMaxDepth) Refuse(line, "elements nested more than " + std::to_string(kMaxDepth) + " deep");
      stack.push_back(std::move(e));
    }
  }

  static constexpr size_t kMaxDepth = 10000;

  const std::string& text;
  std::vector<SvgSubpath>& out;
  std::vector<Element> stack;
  size_t pos = 0;
  size_t counted = 0;
  int lineOfCounted = 1;
  size_t knotTotal = 0;
};

// ---- Records ------------------------------------------------------------------------------

void PutInt16(uint8_t* p, int32_t v) {
  p[0] = uint8_t(uint32_t(v) >> 8);
  p[1] = uint8_t(v);
}

void PutInt32(uint8_t* p, int32_t v) {
  const uint32_t u = uint32_t(v);
  p[0] = uint8_t(u >> 24);
  p[1] = uint8_t(u >> 16);
  p[2] = uint8_t(u >> 8);
  p[3] = uint8_t(u);
}

// A coordinate as an 8.24 fraction of the document size.
bool Fraction(double pixels, int32_t size, int32_t& out) {
  const double f = std::round(pixels / size * 16777216.0);
  if (!(f > -2147483648.0 && f < 2147483647.0)) return false;
  out = int32_t(f);
  return true;
}

// Smooth knots (controls on opposite sides of the anchor, in line with it)
// are the linked ones.
bool Linked(const SvgKnot& k) {
  const double ax = k.inX - k.x, ay = k.inY - k.y, bx = k.outX - k.x, by = k.outY - k.y;
  const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
  if (la == 0.0 || lb == 0.0) return false;
  return ax * bx + ay * by < 0.0 && std::fabs(ax * by - ay * bx) <= 1e-6 * la * lb;
}

}  // namespace

bool ParseSvgPaths(const std::string& text, std::vector<SvgSubpath>& subpaths, std::string& error) {
  subpaths.clear();
  try {
    SvgReader(text, subpaths).Read();
  } catch (const SvgFailure& failure) {
    subpaths.clear();
    error = failure.message;
    return false;
  } catch (const std::bad_alloc&) {
    subpaths.clear();
    error = "out of memory";
    return false;
  }
  return true;
}

bool PathRecordsFromSubpaths(const std::vector<SvgSubpath>& subpaths, int32_t width, int32_t height,
                             std::vector<uint8_t>& records, std::string& error) {
  records.clear();
  if (width <= 0 || height <= 0) {
    error = "the image has no size";
    return false;
  }
  constexpr size_t kRecord = 26;
  size_t count = 1;
  for (const SvgSubpath& s : subpaths) {
    if (s.knots.size() > 65535) {
      error = "a subpath has " + std::to_string(s.knots.size()) + " points; at most 65535 fit a path";
      return false;
    }
    count += 1 + s.knots.size();
  }
  records.assign(count * kRecord, 0);
  uint8_t* r = records.data();
  PutInt16(r, 6);  // fill rule
  r += kRecord;
  for (const SvgSubpath& s : subpaths) {
    PutInt16(r, s.closed ? 0 : 3);
    PutInt16(r + 2, int32_t(s.knots.size()));
    r += kRecord;
    for (const SvgKnot& k : s.knots) {
      PutInt16(r, s.closed ? (Linked(k) ? 1 : 2) : (Linked(k) ? 4 : 5));
      const double coordinates[6] = {k.inY, k.inX, k.y, k.x, k.outY, k.outX};
      for (int i = 0; i < 6; ++i) {
        int32_t value = 0;
        if (!Fraction(coordinates[i], i % 2 == 0 ? height : width, value)) {
          records.clear();
          char where[96];
          std::snprintf(where, sizeof where, "a path point (%.6g, %.6g) lies too far outside the image", k.x, k.y);
          error = where;
          return false;
        }
        PutInt32(r + 2 + 4 * i, value);
      }
      r += kRecord;
    }
  }
  return true;
}

bool ReadSvgPath(const std::string& file, int32_t width, int32_t height, std::vector<uint8_t>& records,
                 std::string& error) {
  records.clear();
  // Checked before opening: a FIFO would block the open, a device would
  // never end.
  std::error_code failed;
  const std::filesystem::file_status status = std::filesystem::status(file, failed);
  if (status.type() != std::filesystem::file_type::regular && status.type() != std::filesystem::file_type::not_found) {
    error = "'" + file + "' is not a regular file; give an SVG file";
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot open the SVG file '" + file + "'";
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size < 0) {
    error = "cannot read the SVG file '" + file + "'";
    return false;
  }
  if (uint64_t(size) > kMaxSvgFileBytes) {
    error = "'" + file + "' is larger than " + std::to_string(kMaxSvgFileBytes >> 20) + " MB";
    return false;
  }
  std::string text(size_t(size), '\0');
  if (size > 0 && !in.read(&text[0], size)) {
    error = "cannot read the SVG file '" + file + "'";
    return false;
  }
  std::vector<SvgSubpath> subpaths;
  std::string why;
  if (!ParseSvgPaths(text, subpaths, why) || !PathRecordsFromSubpaths(subpaths, width, height, records, why)) {
    error = "'" + file + "': " + why;
    return false;
  }
  if (subpaths.empty()) {
    records.clear();
    error = "'" + file + "' has no drawn <path> with path data";
    return false;
  }
  return true;
}

}  // namespace rf::tools
