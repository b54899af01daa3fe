#pragma once
// The keep-awake controller: while IsCritical is true the computer is kept
// from going to sleep. Switched from the user-interface thread only.

namespace tarn {

class TSystemCritical {
public:
    // Starts off; the operating system is not touched.
    TSystemCritical() = default;
    virtual ~TSystemCritical() = default;
    TSystemCritical(const TSystemCritical&) = delete;
    TSystemCritical& operator=(const TSystemCritical&) = delete;

    bool IsCritical() const { return FIsCritical; }

    // Does nothing when value equals the state last applied; otherwise stores
    // it and applies it to the operating system.
    void setIsCritical(bool value);

    // Lets the computer sleep again; run when the program ends.
    void Shutdown() { setIsCritical(false); }

protected:
    // Applies the state to the operating system (a keep-awake request held or
    // withdrawn). Its outcome is not reported.
    virtual void Apply(bool critical);

private:
    bool FIsCritical = false;
};

// The one controller of the process. It exists from static initialisation
// on; when the process exits it is switched off.
TSystemCritical& SystemCritical();

} // namespace tarn
