// The four settings objects: each stores a changed value and asks its port to
// re-apply the matching group (the port acts only while open).
#include "comport/CPort.h"

namespace CPort {

void TPersistent::Assign(const TPersistent& source) {
    AssignError(source);
}

void TPersistent::AssignError(const TPersistent& source) const {
    throw EConvertError(std::string("Cannot assign a ") + source.ClassName() + " to a " +
                        ClassName());
}

// ---- TComTimeouts ----

void TComTimeouts::Assign(const TPersistent& source) {
    auto* s = dynamic_cast<const TComTimeouts*>(&source);
    if (!s) AssignError(source);
    for (int i = 0; i < 5; ++i)
        fields_[i] = s->fields_[i];
}

void TComTimeouts::PutField(int index, std::int32_t value) {
    if (fields_[index] == value) return;
    fields_[index] = value;
    if (ComPort_) ComPort_->WriteTimeouts();
}

// ---- TComFlowControl ----

void TComFlowControl::Assign(const TPersistent& source) {
    auto* s = dynamic_cast<const TComFlowControl*>(&source);
    if (!s) AssignError(source);
    outCTSFlow_ = s->outCTSFlow_;
    outDSRFlow_ = s->outDSRFlow_;
    controlDTR_ = s->controlDTR_;
    controlRTS_ = s->controlRTS_;
    xonXoffOut_ = s->xonXoffOut_;
    xonXoffIn_ = s->xonXoffIn_;
    dsrSensitivity_ = s->dsrSensitivity_;
    txContinueOnXoff_ = s->txContinueOnXoff_;
    xonChar_ = s->xonChar_;
    xoffChar_ = s->xoffChar_;
}

void TComFlowControl::Reapply() {
    if (ComPort_) ComPort_->WriteDeviceControl();
}

TFlowControl TComFlowControl::DeriveFlowControl() const {
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_)
        return fcHardware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) return fcSoftware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcNone;
    return fcCustom;
}

void TComFlowControl::PutFlowControl(TFlowControl value) {
    if (value != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = false;
        xonXoffIn_ = false;
        xonXoffOut_ = false;
        if (value == fcHardware) {
            controlRTS_ = rtsHandshake;
            outCTSFlow_ = true;
        } else if (value == fcSoftware) {
            xonXoffIn_ = true;
            xonXoffOut_ = true;
        }
    }
    Reapply();
}

// ---- TComParity ----

void TComParity::Assign(const TPersistent& source) {
    auto* s = dynamic_cast<const TComParity*>(&source);
    if (!s) AssignError(source);
    bits_ = s->bits_;
    check_ = s->Check();
    replace_ = s->replace_;
    replaceChar_ = s->replaceChar_;
}

void TComParity::Reapply() {
    if (ComPort_) ComPort_->WriteDeviceControl();
}

void TComParity::setBits(TParityBits v) {
    if (bits_ == v) return;
    bits_ = v;
    Reapply();
}

void TComParity::setCheck(bool v) {
    if (Check() == v) return;
    check_ = v;
    Reapply();
}

void TComParity::setReplace(bool v) {
    if (replace_ == v) return;
    replace_ = v;
    Reapply();
}

void TComParity::setReplaceChar(char v) {
    if (replaceChar_ == v) return;
    replaceChar_ = v;
    Reapply();
}

// ---- TComBuffer ----

void TComBuffer::Assign(const TPersistent& source) {
    auto* s = dynamic_cast<const TComBuffer*>(&source);
    if (!s) AssignError(source);
    inputSize_ = s->inputSize_;
    outputSize_ = s->outputSize_;
}

void TComBuffer::PutInputSize(std::int32_t value) {
    if (inputSize_ == value) return;
    inputSize_ = value;
    if (inputSize_ % 2 == 1) --inputSize_;
    if (ComPort_) ComPort_->WriteQueueSizes();
}

void TComBuffer::PutOutputSize(std::int32_t value) {
    if (outputSize_ == value) return;
    outputSize_ = value;
    if (outputSize_ % 2 == 1) --outputSize_;
    if (ComPort_) ComPort_->WriteQueueSizes();
}

} // namespace CPort
