#pragma once
// THttpsModule: the HTTPS form-post module (password reset and similar
// URL-encoded posts).

#include <QObject>

namespace tarn {

class THttpsModule : public QObject {
    Q_OBJECT
public:
    explicit THttpsModule(QObject* parent = nullptr);
};

} // namespace tarn
