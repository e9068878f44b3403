#pragma once
#include "Lattice/String.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace Lattice {

// Growable array with bounds-checked access.
template <class T> class Array {
public:
    Array() = default;
    Array(std::initializer_list<T> init) : v_(init) {}

    long count() const { return static_cast<long>(v_.size()); }
    long size() const { return count(); }
    bool isEmpty() const { return v_.empty(); }

    T& operator[](long i) { return at(i); }
    const T& operator[](long i) const { return at(i); }
    T& at(long i) {
        check(i);
        return v_[static_cast<std::size_t>(i)];
    }
    const T& at(long i) const {
        check(i);
        return v_[static_cast<std::size_t>(i)];
    }

    void add(const T& v) { v_.push_back(v); }
    void add(T&& v) { v_.push_back(std::move(v)); }
    void insert(long pos, const T& v) {
        pos = std::clamp(pos, 0L, count());
        v_.insert(v_.begin() + pos, v);
    }
    void removeAt(long i) {
        check(i);
        v_.erase(v_.begin() + i);
    }
    void removeAll() { v_.clear(); }
    void clear() { v_.clear(); }
    long indexOf(const T& v) const {
        auto it = std::find(v_.begin(), v_.end(), v);
        return it == v_.end() ? -1 : static_cast<long>(it - v_.begin());
    }

    auto begin() { return v_.begin(); }
    auto end() { return v_.end(); }
    auto begin() const { return v_.begin(); }
    auto end() const { return v_.end(); }
    std::vector<T>& vector() { return v_; }
    const std::vector<T>& vector() const { return v_; }

private:
    void check(long i) const {
        if (i < 0 || i >= count())
            throw std::out_of_range("Lattice::Array index out of range");
    }
    std::vector<T> v_;
};

// Hash map. The constructor's bucket count and growth block size mirror the host's signature;
// the bucket count is used as the initial reservation.
template <class K, class V> class Map {
public:
    Map() = default;
    Map(long buckets, long growBy) {
        (void)growBy;
        if (buckets > 0)
            m_.reserve(static_cast<std::size_t>(buckets));
    }

    void set(const K& k, const V& v) { m_[k] = v; }
    bool get(const K& k, V& out) const {
        auto it = m_.find(k);
        if (it == m_.end())
            return false;
        out = it->second;
        return true;
    }
    const V* find(const K& k) const {
        auto it = m_.find(k);
        return it == m_.end() ? nullptr : &it->second;
    }
    V* find(const K& k) {
        auto it = m_.find(k);
        return it == m_.end() ? nullptr : &it->second;
    }
    bool contains(const K& k) const { return m_.count(k) != 0; }
    bool remove(const K& k) { return m_.erase(k) != 0; }
    void removeAll() { m_.clear(); }
    long count() const { return static_cast<long>(m_.size()); }
    bool isEmpty() const { return m_.empty(); }
    V& operator[](const K& k) { return m_[k]; }

    auto begin() { return m_.begin(); }
    auto end() { return m_.end(); }
    auto begin() const { return m_.begin(); }
    auto end() const { return m_.end(); }

private:
    std::unordered_map<K, V> m_;
};

} // namespace Lattice
