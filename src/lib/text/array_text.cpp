#include "lib/text/array_text.hpp"

#include <vector>

#include "lib/text/float_text.hpp"

namespace tarnex {
namespace {

void append_token(std::string& out, double value) { append_float_text(out, value); }
void append_token(std::string& out, Bool value) { out += value != 0 ? "True" : "False"; }

std::string_view trailing_space_trimmed(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

template <class E>
class Writer {
public:
    Writer(const NDArray<E>& array, const TextLayout& layout)
        : array_(array), separator_(layout.separator),
          summarise_(array.size() > text_threshold) {}

    std::string text(std::size_t prefix_width, std::size_t line_width) {
        make_tokens(0, 0);
        std::string hanging(prefix_width + 1, ' ');
        std::string out = rows(0, 0, hanging, line_width);
        return out;
    }

private:
    // The entries of an axis of extent n that are shown: [0, lead) and [n - trail, n).
    struct Shown {
        std::uint64_t lead, trail;
        bool elided;
    };
    Shown shown(std::uint64_t n) const {
        if (summarise_ && n > 2 * text_edge_items) return {text_edge_items, text_edge_items, true};
        return {n, 0, false};
    }

    template <class Visit>
    void for_shown(std::uint64_t n, Visit&& visit) const {
        const Shown s = shown(n);
        for (std::uint64_t i = 0; i < s.lead; ++i) visit(i);
        for (std::uint64_t i = n - s.trail; i < n; ++i) visit(i);
    }

    // Every shown element's token, in the order the text shows them, and the widest.
    void make_tokens(std::uint64_t offset, std::size_t depth) {
        if (depth == array_.ndim()) {
            std::string token;
            append_token(token, array_.data()[offset]);
            if (token.size() > width_) width_ = token.size();
            tokens_.push_back(std::move(token));
            return;
        }
        const std::uint64_t stride = array_.strides()[depth];
        for_shown(array_.shape()[depth],
                  [&](std::uint64_t i) { make_tokens(offset + i * stride, depth + 1); });
    }

    std::string next_word() {
        const std::string& token = tokens_[next_++];
        std::string word(width_ - token.size(), ' ');
        word += token;
        return word;
    }

    // Appends `word` to the current line, first ending the line when the word would pass
    // `width` (unless the line holds nothing but its indent, where breaking gains nothing).
    static void extend(std::string& s, std::string& line, std::string_view word,
                       std::size_t width, const std::string& next_prefix) {
        if (line.size() + word.size() > width && line.size() > next_prefix.size()) {
            s += trailing_space_trimmed(line);
            s += '\n';
            line = next_prefix;
        }
        line += word;
    }

    // The text of the sub-array at `offset` from axis `depth` on, its continuation lines
    // indented by `hanging`, with `width` columns left before its closing brackets.
    std::string rows(std::uint64_t offset, std::size_t depth, const std::string& hanging,
                     std::size_t width) {
        const std::size_t axes_left = array_.ndim() - depth;
        const std::uint64_t n = array_.shape()[depth];
        const Shown s = shown(n);
        const std::uint64_t last = n - 1;
        std::string out;
        if (axes_left == 1) {
            const std::size_t element_width = width - 1;  // room for the separator or ']'
            std::string line = hanging;
            for_shown(n, [&](std::uint64_t i) {
                extend(out, line, next_word(), element_width, hanging);
                if (i != last) line += separator_;
                if (s.elided && i + 1 == s.lead) {
                    extend(out, line, "...", element_width, hanging);
                    line += separator_;
                }
            });
            out += line;
        } else {
            std::string line_end(trailing_space_trimmed(separator_));
            line_end.append(axes_left - 1, '\n');
            const std::string next_hanging = hanging + ' ';
            const std::uint64_t stride = array_.strides()[depth];
            for_shown(n, [&](std::uint64_t i) {
                out += hanging;
                out += rows(offset + i * stride, depth + 1, next_hanging, width - 1);
                if (i != last) out += line_end;
                if (s.elided && i + 1 == s.lead) {
                    out += hanging;
                    out += "...";
                    out += line_end;
                }
            });
        }
        return "[" + out.substr(hanging.size()) + "]";
    }

    const NDArray<E>& array_;
    std::string_view separator_;
    bool summarise_;
    std::vector<std::string> tokens_;
    std::size_t width_ = 0;
    std::size_t next_ = 0;
};

}  // namespace

template <class E>
std::string array_text(const NDArray<E>& array, const TextLayout& layout) {
    if (array.ndim() == 0) {
        std::string out;
        append_token(out, array.data()[0]);
        return out;
    }
    if (array.size() == 0) return "[]";
    const std::size_t width = text_line_width - layout.suffix_width;
    return Writer<E>(array, layout).text(layout.prefix_width, width);
}

template std::string array_text(const NDArray<double>&, const TextLayout&);
template std::string array_text(const NDArray<Bool>&, const TextLayout&);

}  // namespace tarnex
