#include "protocol/JsonParser.h"

#include "protocol/Utf8.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

class Reader {
public:
    explicit Reader(std::string_view text)
        : m_text(text)
    {
    }

    bool parseDocument(Json& out)
    {
        skipWhitespace();
        if (!parseValue(out, 0))
            return false;
        skipWhitespace();
        if (m_pos != m_text.size())
            return fail("unexpected text after the value");
        return true;
    }

    const std::string& error() const { return m_error; }

private:
    bool fail(const char* what)
    {
        if (m_error.empty())
            m_error = std::string(what) + " at offset " + std::to_string(m_pos);
        return false;
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return m_text[m_pos]; }

    void skipWhitespace()
    {
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                break;
            ++m_pos;
        }
    }

    bool expectLiteral(std::string_view literal)
    {
        if (m_text.substr(m_pos, literal.size()) != literal)
            return fail("invalid literal");
        m_pos += literal.size();
        return true;
    }

    bool parseValue(Json& out, int depth)
    {
        if (atEnd())
            return fail("unexpected end of input");
        switch (peek()) {
        case '{': return parseObject(out, depth + 1);
        case '[': return parseArray(out, depth + 1);
        case '"': {
            std::string text;
            if (!parseString(text))
                return false;
            out = std::move(text);
            return true;
        }
        case 't': out = true; return expectLiteral("true");
        case 'f': out = false; return expectLiteral("false");
        case 'n': out = nullptr; return expectLiteral("null");
        default: return parseNumber(out);
        }
    }

    enum class Next { More, Closed, Failed };

    // After a member or element: a comma means more follow, `close` ends the container.
    Next afterMember(char close)
    {
        skipWhitespace();
        if (atEnd()) {
            fail("unexpected end of input");
            return Next::Failed;
        }
        if (peek() == ',' || peek() == close) {
            ++m_pos;
            return m_text[m_pos - 1] == ',' ? Next::More : Next::Closed;
        }
        fail(close == '}' ? "expected ',' or '}'" : "expected ',' or ']'");
        return Next::Failed;
    }

    bool parseObject(Json& out, int depth)
    {
        if (depth > JsonParser::kMaxDepth)
            return fail("nesting deeper than 512 levels");
        ++m_pos; // '{'
        out = Json::object();
        auto& object = out.get_ref<Json::object_t&>();
        skipWhitespace();
        if (!atEnd() && peek() == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipWhitespace();
            if (atEnd() || peek() != '"')
                return fail("expected a member name");
            std::string key;
            if (!parseString(key))
                return false;
            skipWhitespace();
            if (atEnd() || peek() != ':')
                return fail("expected ':'");
            ++m_pos;
            skipWhitespace();
            Json value;
            if (!parseValue(value, depth))
                return false;
            object.insert_or_assign(std::move(key), std::move(value)); // the last of equal names wins
            if (const auto next = afterMember('}'); next != Next::More)
                return next == Next::Closed;
        }
    }

    bool parseArray(Json& out, int depth)
    {
        if (depth > JsonParser::kMaxDepth)
            return fail("nesting deeper than 512 levels");
        ++m_pos; // '['
        out = Json::array();
        auto& array = out.get_ref<Json::array_t&>();
        skipWhitespace();
        if (!atEnd() && peek() == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            skipWhitespace();
            array.emplace_back();
            if (!parseValue(array.back(), depth))
                return false;
            if (const auto next = afterMember(']'); next != Next::More)
                return next == Next::Closed;
        }
    }

    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    bool readHex4(unsigned& value)
    {
        if (m_text.size() - m_pos < 4)
            return fail("incomplete \\u escape");
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(m_text[m_pos + static_cast<std::size_t>(i)]);
            if (digit < 0)
                return fail("invalid \\u escape");
            value = value * 16 + static_cast<unsigned>(digit);
        }
        m_pos += 4;
        return true;
    }

    static void appendUtf8(std::string& out, unsigned codePoint)
    {
        if (codePoint < 0x80) {
            out += static_cast<char>(codePoint);
        } else if (codePoint < 0x800) {
            out += static_cast<char>(0xC0 | (codePoint >> 6));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            out += static_cast<char>(0xE0 | (codePoint >> 12));
            out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (codePoint >> 18));
            out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
        }
    }

    bool parseString(std::string& out)
    {
        ++m_pos; // '"'
        std::size_t runStart = m_pos;
        for (;;) {
            if (atEnd())
                return fail("unterminated string");
            const auto c = static_cast<unsigned char>(peek());
            if (c == '"') {
                out.append(m_text.data() + runStart, m_pos - runStart);
                ++m_pos;
                return true;
            }
            if (c < 0x20)
                return fail("control character in string");
            if (c >= 0x80) {
                const std::size_t length = utf8::sequenceLength(m_text, m_pos);
                if (length == 0)
                    return fail("invalid UTF-8 in string");
                m_pos += length;
                continue;
            }
            if (c != '\\') {
                ++m_pos;
                continue;
            }
            out.append(m_text.data() + runStart, m_pos - runStart);
            ++m_pos;
            if (atEnd())
                return fail("unterminated escape");
            const char escape = peek();
            ++m_pos;
            switch (escape) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned unit = 0;
                if (!readHex4(unit))
                    return false;
                if (unit >= 0xDC00 && unit <= 0xDFFF)
                    return fail("lone low surrogate");
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    unsigned low = 0;
                    if (m_text.substr(m_pos, 2) != "\\u")
                        return fail("lone high surrogate");
                    m_pos += 2;
                    if (!readHex4(low))
                        return false;
                    if (low < 0xDC00 || low > 0xDFFF)
                        return fail("lone high surrogate");
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, unit);
                break;
            }
            default: return fail("invalid escape");
            }
            runStart = m_pos;
        }
    }

    // Whether a well-formed number that a double cannot hold is too small rather than too
    // large: its decimal exponent, counted from its first significant digit, is negative. The
    // sign of the written exponent alone does not tell ("1000…0e-100", "0.000…01e+100").
    static bool isBelowDoubleRange(std::string_view number)
    {
        constexpr std::int64_t kExponentCap = std::int64_t{1} << 50; // far past any digit count
        std::size_t i = number.front() == '-' ? 1 : 0;
        std::int64_t wholeDigits = 0;
        std::int64_t leadingZeros = 0;
        bool significant = false;
        const auto countDigit = [&](char c) {
            if (!significant && c == '0')
                ++leadingZeros;
            else
                significant = true;
        };
        for (; i < number.size() && std::isdigit(static_cast<unsigned char>(number[i])); ++i) {
            countDigit(number[i]);
            ++wholeDigits;
        }
        if (i < number.size() && number[i] == '.') {
            for (++i; i < number.size() && std::isdigit(static_cast<unsigned char>(number[i])); ++i)
                countDigit(number[i]);
        }
        std::int64_t exponent = 0;
        if (i < number.size()) { // 'e' or 'E'
            ++i;
            const bool negative = number[i] == '-';
            if (number[i] == '-' || number[i] == '+')
                ++i;
            for (; i < number.size(); ++i)
                exponent = std::min(exponent * 10 + (number[i] - '0'), kExponentCap);
            if (negative)
                exponent = -exponent;
        }
        return wholeDigits - leadingZeros - 1 + exponent < 0;
    }

    bool parseNumber(Json& out)
    {
        const std::size_t start = m_pos;
        bool integral = true;
        if (!atEnd() && peek() == '-')
            ++m_pos;
        if (atEnd() || !std::isdigit(static_cast<unsigned char>(peek())))
            return fail("invalid value");
        if (peek() == '0') {
            ++m_pos;
        } else {
            while (!atEnd() && std::isdigit(static_cast<unsigned char>(peek())))
                ++m_pos;
        }
        if (!atEnd() && peek() == '.') {
            integral = false;
            ++m_pos;
            if (atEnd() || !std::isdigit(static_cast<unsigned char>(peek())))
                return fail("invalid number");
            while (!atEnd() && std::isdigit(static_cast<unsigned char>(peek())))
                ++m_pos;
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            integral = false;
            ++m_pos;
            if (!atEnd() && (peek() == '+' || peek() == '-'))
                ++m_pos;
            if (atEnd() || !std::isdigit(static_cast<unsigned char>(peek())))
                return fail("invalid number");
            while (!atEnd() && std::isdigit(static_cast<unsigned char>(peek())))
                ++m_pos;
        }
        const char* first = m_text.data() + start;
        const char* last = m_text.data() + m_pos;
        if (integral) {
            std::int64_t value = 0;
            const auto result = std::from_chars(first, last, value);
            if (result.ec == std::errc() && result.ptr == last) {
                out = value;
                return true;
            }
        }
        double value = 0;
        const auto result = std::from_chars(first, last, value);
        if (result.ec == std::errc::result_out_of_range) {
            // Beyond a double's range. Too large is refused (no finite value stands for it); too
            // small reads as zero.
            const std::string_view number(first, static_cast<std::size_t>(last - first));
            if (!isBelowDoubleRange(number))
                return fail("number out of range");
            value = number.front() == '-' ? -0.0 : 0.0;
        } else if (result.ec != std::errc() || result.ptr != last) {
            return fail("invalid number");
        }
        if (std::isfinite(value) && value == std::floor(value) && value >= -9223372036854775808.0 && value < 9223372036854775808.0)
            out = static_cast<std::int64_t>(value);
        else
            out = value;
        return true;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

} // namespace

std::optional<Json> JsonParser::parse(std::string_view text, std::string* error)
{
    Reader reader(text);
    Json value;
    if (!reader.parseDocument(value)) {
        if (error)
            *error = reader.error();
        return std::nullopt;
    }
    return value;
}
