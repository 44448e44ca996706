// Int members of constant buffers as float bits.
#include "platform/gfx/hlsl/spirv_cbuffer_ints.h"

#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

namespace gfx::passes {

namespace {

class FloatBlocks {
public:
    explicit FloatBlocks(Module& m) : m_(m) {}

    bool Run(std::string* error)
    {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> candidates;  // variable, block type
        for (const Inst& i : m_.sections[kGlobal]) {
            if (i.op != spv::OpVariable || i.w[2] != spv::StorageClassUniform)
                continue;
            const Inst* p = m_.Global(i.w[0]);
            if (p && p->op == spv::OpTypePointer && m_.Decorated(p->w[2], spv::DecorationBlock))
                candidates.emplace_back(i.result(), p->w[2]);
        }
        std::vector<std::uint32_t> blocks;
        for (const auto& [var, type] : candidates) {
            pointers_[var] = type;
            if (Map(type) != type)
                blocks.push_back(var);
        }
        if (candidates.empty())
            return true;
        // Variables move behind the pointer types made for them.
        for (std::uint32_t var : blocks) {
            auto& globals = m_.sections[kGlobal];
            std::size_t k = m_.globalDef[var];
            Inst v = globals[k];
            const Inst* p = m_.Global(v.w[0]);
            std::uint32_t pointee = p->w[2];
            v.w[0] = Pointer(Map(pointee));
            globals.erase(globals.begin() + std::ptrdiff_t(k));
            globals.push_back(std::move(v));
            m_.Index();
            pointers_[var] = pointee;
        }
        return RewriteUses(error);
    }

private:
    // The type with 32-bit int scalars and vectors turned into floats.
    std::uint32_t Map(std::uint32_t type)
    {
        auto found = mapped_.find(type);
        if (found != mapped_.end())
            return found->second;
        const Inst* t = m_.Global(type);
        std::uint32_t result = type;
        if (t) {
            Inst copy = *t;
            switch (copy.op) {
            case spv::OpTypeInt:
                if (copy.w[1] == 32)
                    result = m_.Float();
                break;
            case spv::OpTypeVector: {
                std::uint32_t c = Map(copy.w[1]);
                if (c != copy.w[1])
                    result = m_.Vector(c, copy.w[2]);
                break;
            }
            case spv::OpTypeMatrix: {
                std::uint32_t c = Map(copy.w[1]);
                if (c != copy.w[1])
                    result = m_.FindOrAdd(spv::OpTypeMatrix, {c, copy.w[2]});
                break;
            }
            case spv::OpTypeArray: {
                std::uint32_t e = Map(copy.w[1]);
                if (e != copy.w[1]) {
                    result = m_.Add(spv::OpTypeArray, {e, copy.w[2]});
                    CopyDecorations(type, result);
                }
                break;
            }
            case spv::OpTypeStruct: {
                std::vector<std::uint32_t> members(copy.w.begin() + 1, copy.w.end());
                bool any = false;
                for (std::uint32_t& member : members) {
                    std::uint32_t mm = Map(member);
                    any |= mm != member;
                    member = mm;
                }
                if (any) {
                    result = m_.Add(spv::OpTypeStruct, members);
                    CopyDecorations(type, result);
                }
                break;
            }
            default: break;
            }
        }
        mapped_[type] = result;
        return result;
    }

    void CopyDecorations(std::uint32_t from, std::uint32_t to)
    {
        std::vector<Inst> added;
        for (const Inst& i : m_.sections[kAnnotation])
            if ((i.op == spv::OpDecorate || i.op == spv::OpMemberDecorate) && i.w[0] == from) {
                Inst c = i;
                c.w[0] = to;
                added.push_back(std::move(c));
            }
        for (Inst& i : added)
            m_.sections[kAnnotation].push_back(std::move(i));
        std::vector<Inst> names;
        for (const Inst& i : m_.sections[kDebug])
            if ((i.op == spv::OpName || i.op == spv::OpMemberName) && i.w[0] == from) {
                Inst c = i;
                c.w[0] = to;
                names.push_back(std::move(c));
            }
        for (Inst& i : names)
            m_.sections[kDebug].push_back(std::move(i));
    }

    std::uint32_t Pointer(std::uint32_t pointee)
    {
        return m_.FindOrAdd(spv::OpTypePointer, {spv::StorageClassUniform, pointee});
    }

    std::uint32_t Emit(std::vector<Inst>& out, spv::Op op, std::uint32_t type, std::vector<std::uint32_t> operands,
                       std::uint32_t id = 0)
    {
        if (!id)
            id = m_.NewId();
        std::vector<std::uint32_t> w{type, id};
        w.insert(w.end(), operands.begin(), operands.end());
        out.push_back(Make(op, std::move(w)));
        return id;
    }

    // A pointer into a block. Chains are joined, and one that ends on an array
    // or a struct is only remembered: a flattened block cannot hand it out.
    std::uint32_t Chain(std::vector<Inst>& out, std::uint32_t base, std::vector<std::uint32_t> indices,
                        std::uint32_t pointee, std::uint32_t result)
    {
        if (!result)
            result = m_.NewId();
        auto prefix = chains_.find(base);
        if (prefix != chains_.end()) {
            indices.insert(indices.begin(), prefix->second.begin() + 1, prefix->second.end());
            base = prefix->second[0];
        }
        pointers_[result] = pointee;
        spv::Op op = m_.Global(pointee)->op;
        bool intMatrix = op == spv::OpTypeMatrix && Map(pointee) != pointee;
        if (op == spv::OpTypeArray || op == spv::OpTypeStruct || intMatrix || indices.empty()) {
            std::vector<std::uint32_t> chain{base};
            chain.insert(chain.end(), indices.begin(), indices.end());
            chains_[result] = std::move(chain);
            return result;
        }
        std::vector<std::uint32_t> w{Pointer(Map(pointee)), result, base};
        w.insert(w.end(), indices.begin(), indices.end());
        out.push_back(Make(spv::OpAccessChain, std::move(w)));
        return result;
    }

    // Loads a value of `type` through a pointer to Map(type): aggregates
    // element by element, since a flattened block cannot hand out a whole one.
    std::uint32_t Load(std::vector<Inst>& out, std::uint32_t pointer, std::uint32_t type, std::uint32_t result)
    {
        const Inst t = *m_.Global(type);
        bool intMatrix = t.op == spv::OpTypeMatrix && Map(type) != type;
        if (t.op == spv::OpTypeArray || t.op == spv::OpTypeStruct || intMatrix) {
            std::vector<std::uint32_t> elements;
            if (intMatrix) {
                elements.assign(t.w[2], t.w[1]);
            } else if (t.op == spv::OpTypeArray) {
                const Inst* length = m_.Global(t.w[2]);
                std::uint32_t n = length && length->op == spv::OpConstant ? length->w[2] : 0;
                elements.assign(n, t.w[1]);
            } else {
                elements.assign(t.w.begin() + 1, t.w.end());
            }
            std::vector<std::uint32_t> parts;
            for (std::uint32_t k = 0; k < elements.size(); ++k) {
                std::uint32_t element = Chain(out, pointer, {m_.IntConstant(std::int32_t(k))}, elements[k], 0);
                parts.push_back(Load(out, element, elements[k], 0));
            }
            return Emit(out, spv::OpCompositeConstruct, type, parts, result);
        }
        pointer = Materialize(out, pointer, type);
        if (Map(type) == type)
            return Emit(out, spv::OpLoad, type, {pointer}, result);
        // The float bits, reinterpreted: no conversion may touch them.
        std::uint32_t bits = Emit(out, spv::OpLoad, Map(type), {pointer});
        return Emit(out, spv::OpBitcast, type, {bits}, result);
    }

    // A remembered chain to a scalar, vector or matrix (a copy of a pointer) made real.
    std::uint32_t Materialize(std::vector<Inst>& out, std::uint32_t pointer, std::uint32_t pointee)
    {
        auto chain = chains_.find(pointer);
        if (chain == chains_.end())
            return pointer;
        if (chain->second.size() == 1)
            return chain->second[0];
        std::vector<std::uint32_t> w{Pointer(Map(pointee)), m_.NewId()};
        w.insert(w.end(), chain->second.begin(), chain->second.end());
        std::uint32_t id = w[1];
        out.push_back(Make(spv::OpAccessChain, std::move(w)));
        return id;
    }

    bool RewriteUses(std::string* error)
    {
        std::vector<Inst> out;
        out.reserve(m_.functions.size());
        for (Inst& i : m_.functions) {
            switch (i.op) {
            case spv::OpAccessChain:
            case spv::OpInBoundsAccessChain:
            case spv::OpCopyObject:
                if (pointers_.count(i.w[2])) {
                    std::uint32_t pointee = m_.Global(i.w[0])->w[2];
                    Chain(out, i.w[2], std::vector<std::uint32_t>(i.w.begin() + 3, i.w.end()), pointee, i.w[1]);
                    continue;
                }
                out.push_back(std::move(i));
                continue;
            case spv::OpLoad:
                if (pointers_.count(i.w[2])) {
                    Load(out, i.w[2], i.w[0], i.w[1]);
                    continue;
                }
                out.push_back(std::move(i));
                continue;
            case spv::OpStore:
            case spv::OpCopyMemory:
            case spv::OpCopyMemorySized:
            case spv::OpFunctionCall:
            case spv::OpPtrAccessChain:
            case spv::OpPhi:
            case spv::OpSelect:
                for (std::size_t k = i.firstOperand(); k < i.w.size(); ++k)
                    if (pointers_.count(i.w[k])) {
                        *error = "a constant buffer with int members used in a way that cannot be rewritten";
                        return false;
                    }
                break;
            default: break;
            }
            out.push_back(std::move(i));
        }
        m_.functions.swap(out);
        m_.Index();
        // Interface lists and decorations name the variables by id: unchanged.
        return true;
    }

    Module& m_;
    std::map<std::uint32_t, std::uint32_t> mapped_;                         // type -> its float form
    std::unordered_map<std::uint32_t, std::uint32_t> pointers_;             // pointer id -> original pointee
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> chains_;  // pointer -> root, indices
};

}  // namespace

bool StoreIntMembersAsFloatBits(Module& m, std::string* error)
{
    return FloatBlocks(m).Run(error);
}

}  // namespace gfx::passes
