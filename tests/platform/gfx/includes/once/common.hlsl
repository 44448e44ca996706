#pragma once
// Shared by a.hlsl and b.hlsl, with no guard of its own.
struct VSOutput { float4 position : SV_POSITION; float4 colour : COLOR0; };
