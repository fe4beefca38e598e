#pragma once
// One column of the city table. Its texts lie back to back in one constant array of characters,
// with the end of every row beside them: unlike an array of string views, the column holds no
// addresses, so the loader has nothing to adjust in it when the program starts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace qelo::UnitChinaWeather {

class CityColumn {
 public:
  constexpr CityColumn(const char16_t* text, const std::uint32_t* ends, std::size_t rows)
      : text_(text), ends_(ends), rows_(rows) {}

  constexpr std::size_t size() const { return rows_; }
  constexpr std::u16string_view operator[](std::size_t row) const {
    return std::u16string_view(text_ + ends_[row], ends_[row + 1] - ends_[row]);
  }

  // The rows in order, for the algorithms and loops that walked the table as an array.
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = std::u16string_view;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = std::u16string_view;

    constexpr Iterator() = default;
    constexpr Iterator(const CityColumn* column, std::size_t row) : column_(column), row_(row) {}
    constexpr std::u16string_view operator*() const { return (*column_)[row_]; }
    constexpr Iterator& operator++() {
      ++row_;
      return *this;
    }
    constexpr Iterator operator++(int) {
      const Iterator before = *this;
      ++row_;
      return before;
    }
    constexpr Iterator operator+(std::size_t rows) const { return Iterator(column_, row_ + rows); }
    constexpr bool operator==(const Iterator&) const = default;

   private:
    const CityColumn* column_ = nullptr;
    std::size_t row_ = 0;
  };

  constexpr Iterator begin() const { return Iterator(this, 0); }
  constexpr Iterator end() const { return Iterator(this, rows_); }

 private:
  const char16_t* text_;
  const std::uint32_t* ends_;  // row r is text_[ends_[r]] up to text_[ends_[r + 1]]
  std::size_t rows_;
};

// The texts of a column packed at compile time; `Length` is PackedLength of the same rows.
template <std::size_t Rows, std::size_t Length>
struct PackedColumn {
  std::array<char16_t, Length> text{};
  std::array<std::uint32_t, Rows + 1> ends{};
};

template <std::size_t Rows>
constexpr std::size_t PackedLength(const std::array<std::u16string_view, Rows>& rows) {
  std::size_t length = 0;
  for (const std::u16string_view row : rows) length += row.size();
  return length;
}

template <std::size_t Length, std::size_t Rows>
constexpr PackedColumn<Rows, Length> Pack(const std::array<std::u16string_view, Rows>& rows) {
  PackedColumn<Rows, Length> packed;
  std::size_t end = 0;
  for (std::size_t row = 0; row < Rows; ++row) {
    for (const char16_t c : rows[row]) packed.text[end++] = c;
    packed.ends[row + 1] = static_cast<std::uint32_t>(end);
  }
  return packed;
}

}  // namespace qelo::UnitChinaWeather
