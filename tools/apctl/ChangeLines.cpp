#include "tools/apctl/ChangeLines.h"

#include "tools/apctl/ApctlFormat.h"

namespace apctl {

namespace {

using fleet::Change;
using fleet::FieldKind;
using fleet::ModeText;
using fleet::RecordField;

// A field's value for a person: texts quoted, the mode by its name.
std::string Shown(const RecordField& field, const std::string& value) {
    switch (field.kind) {
        case FieldKind::kText: {
            // Appended, not added up: GCC 12 at -O3 warns falsely (-Wrestrict) on '"' + text.
            std::string quoted(1, '"');
            quoted.append(Printable(value)).push_back('"');
            return quoted;
        }
        case FieldKind::kMode:
            return ModeText(static_cast<std::uint16_t>(std::stoi(value)));
        case FieldKind::kPlain:
        case FieldKind::kNumber:
            break;
    }
    return value.empty() ? "''" : Printable(value);
}

Json JsonValue(const RecordField& field, const std::string& value) {
    return field.isNumber() ? Json(std::stoi(value)) : JsonFromLatin1(value);
}

std::string MacShown(const std::string& mac) {
    return mac.empty() ? "(no MAC)" : Printable(mac);
}

class ChangePrinter {
public:
    ChangePrinter(std::ostream& out, const ChangeLineForm& form)
        : out_(out), form_(form), prefix_(form.time.empty() ? std::string() : form.time + " ") {}

    void Print(const Change& change) {
        switch (change.kind) {
            case Change::Kind::kAppeared:
                Appeared(change.macText, change.record);
                break;
            case Change::Kind::kChanged:
                Changed(change);
                break;
            case Change::Kind::kGone:
                Gone(change.macText, change.record);
                break;
        }
    }

private:
    void Appeared(const std::string& mac, const DeviceRecord& r) {
        if (form_.json) {
            Json json = JsonStart("appeared", mac);
            json["record"] = r;
            Line(JsonText(json));
            return;
        }
        std::string text =
            prefix_ + "+ " + MacShown(mac) + " " + Printable(FieldText(r.ipAddress)) + " \"" +
            Printable(FieldText(r.name)) + "\" firmware " +
            Printable(FieldText(r.firmwareVersion)) + " " + ModeText(r.wirelessMode) + " via " +
            Printable(FieldText(r.localAddress));
        Line(text);
    }

    void Gone(const std::string& mac, const DeviceRecord& r) {
        if (form_.json) {
            Json json = JsonStart("gone", mac);
            json["record"] = r;
            Line(JsonText(json));
            return;
        }
        Line(prefix_ + "- " + MacShown(mac) + " " + Printable(FieldText(r.ipAddress)) + " \"" +
             Printable(FieldText(r.name)) + "\" " + form_.goneReason);
    }

    void Changed(const Change& change) {
        const RecordField& field = *change.field;
        if (form_.json) {
            Json json = JsonStart("changed", change.macText);
            json["field"] = field.key;
            json["old"] = JsonValue(field, change.before);
            json["new"] = JsonValue(field, change.after);
            Line(JsonText(json));
            return;
        }
        std::string named;
        if (form_.namedChanges) {
            named.append(" \"").append(Printable(FieldText(change.record.name))).push_back('"');
        }
        Line(prefix_ + "~ " + MacShown(change.macText) + named + " " + field.key + " " +
             Shown(field, change.before) + " -> " + Shown(field, change.after));
    }

    Json JsonStart(const char* change, const std::string& mac) const {
        Json json = Json::object();
        if (!form_.time.empty()) {
            json["time"] = JsonFromLatin1(form_.time);
        }
        json["change"] = change;
        json["macText"] = JsonFromLatin1(mac);
        return json;
    }

    void Line(const std::string& text) { out_ << text << "\n" << std::flush; }

    std::ostream& out_;
    const ChangeLineForm& form_;
    const std::string prefix_;
};

}  // namespace

void PrintChange(const Change& change, const ChangeLineForm& form, std::ostream& out) {
    ChangePrinter(out, form).Print(change);
}

}  // namespace apctl
