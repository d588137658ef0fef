#pragma once

#include <QString>

#include <utility>
#include <variant>

/** A value or a human-readable reason why there is none; what platform services return. */
template <typename T> class Result
{
public:
    Result(T value) : m_state(std::move(value)) {}
    static Result failure(QString message) { return Result(Error{std::move(message)}); }

    bool ok() const { return std::holds_alternative<T>(m_state); }
    const T &value() const { return std::get<T>(m_state); }
    T &value() { return std::get<T>(m_state); }
    QString error() const { return ok() ? QString() : std::get<Error>(m_state).message; }

private:
    struct Error
    {
        QString message;
    };
    explicit Result(Error error) : m_state(std::move(error)) {}

    std::variant<T, Error> m_state;
};
